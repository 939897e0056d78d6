#pragma once

#include <QObject>

class QComboBox;

namespace zelvan {

class RangeSelector;

// Keeps a Start and an End drop-down list showing a RangeSelector: both lists share its items,
// the user's choices go to the selector, and the selector's answer (which may move the other
// list) comes back to the lists.
class RangeBinding : public QObject {
    Q_OBJECT

public:
    RangeBinding(RangeSelector& range, QComboBox* start, QComboBox* end, QObject* parent);

private:
    void show(int startIndex, int endIndex);

    RangeSelector& range_;
    QComboBox* start_;
    QComboBox* end_;
    // Set while the lists are moved by the selector, so their change signals do not feed back.
    bool updating_ = false;
};

} // namespace zelvan
