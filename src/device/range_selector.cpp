#include "range_selector.h"

#include "common/hex_text.h"

namespace zelvan {

RangeSelector::RangeSelector(QObject* parent)
    : QObject(parent) {}

QString RangeSelector::blockText(int firstAddress, int blockSize) {
    return strDecToHex16(firstAddress) + QStringLiteral("H-") + strDecToHex16(firstAddress + blockSize - 1) +
           QStringLiteral("H");
}

void RangeSelector::fill(int lastAddress, int blockSize) {
    QStringList texts;
    if (blockSize > 0) {
        for (int address = 0; address <= lastAddress; address += blockSize)
            texts.append(blockText(address, blockSize));
    }
    items_.setStringList(texts);
    emit itemsReset();
    // Announced even when the positions are the same as before: the lists were emptied and
    // refilled, so what they show has to be set again.
    start_ = texts.isEmpty() ? -1 : 0;
    end_ = static_cast<int>(texts.size()) - 1;
    emit selectionChanged(start_, end_);
}

QString RangeSelector::itemText(int index) const {
    return items_.index(index).data().toString();
}

void RangeSelector::chooseStart(int index) {
    setSelection(index, index > end_ ? index : end_);
}

void RangeSelector::chooseEnd(int index) {
    setSelection(start_ > index ? index : start_, index);
}

void RangeSelector::setSelection(int start, int end) {
    if (start == start_ && end == end_)
        return;
    start_ = start;
    end_ = end;
    emit selectionChanged(start_, end_);
}

} // namespace zelvan
