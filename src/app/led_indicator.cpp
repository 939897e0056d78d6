#include "led_indicator.h"

#include <QPainter>

namespace zelvan {

LedIndicator::LedIndicator(QWidget* parent)
    : QWidget(parent)
    , colour_(Qt::green) {
    setMinimumSize(16, 16);
}

void LedIndicator::setColour(const QColor& colour) {
    if (colour == colour_)
        return;
    colour_ = colour;
    update();
}

void LedIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(colour_);
    const int side = qMin(width(), height()) - 2;
    painter.drawEllipse(QRect((width() - side) / 2, (height() - side) / 2, side, side));
}

} // namespace zelvan
