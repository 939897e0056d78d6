#pragma once

#include <QColor>
#include <QWidget>

namespace zelvan {

// The link indicator: a filled circle in the colour of the last exchange.
class LedIndicator : public QWidget {
    Q_OBJECT

public:
    explicit LedIndicator(QWidget* parent = nullptr);

    QColor colour() const { return colour_; }
    void setColour(const QColor& colour);
    QSize sizeHint() const override { return {24, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

} // namespace zelvan
