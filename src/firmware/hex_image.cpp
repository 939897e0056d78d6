#include "hex_image.h"

#include <algorithm>

namespace zelvan {

HexImage::HexImage() {
    for (auto& value : config_)
        value = {'F', 'F'};
}

void HexImage::write(int address, QByteArrayView text) {
    // The text grows to the highest address written, in steps of 2 KB of addresses.
    if (text_.size() < 2 * (address + 1))
        text_.resize(std::min<qsizetype>(2 * kSize, (2 * (address + 1) + 4095) & ~qsizetype(4095)), '0');
    text_[2 * address] = text[0];
    text_[2 * address + 1] = text[1];
    written_.set(static_cast<size_t>(address));
    lowest_ = std::min(lowest_, address);
    highest_ = std::max(highest_, address);
}

void HexImage::dropBeyond(quint64 address) {
    if (!firstBeyond_ || address < *firstBeyond_)
        firstBeyond_ = address;
}

void HexImage::capture(int index, QByteArrayView text) {
    config_[index] = {text[0], text[1]};
    captured_.set(static_cast<size_t>(index));
}

void HexImage::layOver(const HexImage& later) {
    for (int address = later.lowest_; address <= later.highest_; ++address) {
        if (later.isWritten(address))
            write(address, later.byteText(address));
    }
    for (int index = 0; index < kConfigCount; ++index) {
        if (later.hasConfig(index))
            capture(index, later.configText(index));
    }
    if (later.firstBeyond_)
        dropBeyond(*later.firstBeyond_);
}

bool HexImage::reachesBeyond(int flashLastAddr) const {
    if (firstBeyond_)
        return true;
    for (int address = std::max(flashLastAddr + 1, lowest_); address <= highest_; ++address) {
        if (isWritten(address))
            return true;
    }
    return false;
}

std::optional<quint64> HexImage::firstAddressOutside(int flashSize) const {
    for (int address = std::max(flashSize, lowest_); address <= highest_; ++address) {
        if (isWritten(address) && configIndexForAddress(static_cast<quint32>(address)) < 0)
            return address;
    }
    return firstBeyond_;
}

int configIndexForAddress(quint32 address) {
    if (address >= 0xFF00 && address <= 0xFF0B)
        return static_cast<int>(address - 0xFF00);
    if (address >= 0xFFF0 && address <= 0xFFF3)
        return static_cast<int>(address - 0xFFF0);
    if (address >= 0xFFF8 && address <= 0xFFFF)
        return static_cast<int>(address - 0xFFF8) + 4;
    return -1;
}

} // namespace zelvan
