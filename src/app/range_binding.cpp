#include "range_binding.h"

#include "device/range_selector.h"

#include <QComboBox>

namespace zelvan {

RangeBinding::RangeBinding(RangeSelector& range, QComboBox* start, QComboBox* end, QObject* parent)
    : QObject(parent)
    , range_(range)
    , start_(start)
    , end_(end) {
    start->setModel(range.items());
    end->setModel(range.items());
    connect(range.items(), &QAbstractItemModel::modelAboutToBeReset, this, [this] { updating_ = true; });
    connect(&range, &RangeSelector::itemsReset, this, [this] { updating_ = false; });
    connect(&range, &RangeSelector::selectionChanged, this, &RangeBinding::show);
    connect(start, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!updating_)
            range_.chooseStart(index);
    });
    connect(end, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!updating_)
            range_.chooseEnd(index);
    });
    show(range.startIndex(), range.endIndex());
}

void RangeBinding::show(int startIndex, int endIndex) {
    updating_ = true;
    start_->setCurrentIndex(startIndex);
    end_->setCurrentIndex(endIndex);
    updating_ = false;
}

} // namespace zelvan
