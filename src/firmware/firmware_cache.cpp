#include "firmware_cache.h"

#include <algorithm>

namespace zelvan {

std::array<std::array<char, 2>, FirmwareCache::kConfigCount> FirmwareCache::emptyConfig() {
    std::array<std::array<char, 2>, kConfigCount> config{};
    for (auto& value : config)
        value = {'F', 'F'};
    return config;
}

void FirmwareCache::recreate(int flashLastAddr) {
    strFirmwareImage_ = QByteArray(2 * (flashLastAddr + 1), '0');
    written_.assign(static_cast<size_t>(flashLastAddr + 1), false);
    strFirmwareConfig_ = emptyConfig();
    captured_.reset();
}

FirmwareCache FirmwareCache::layOut(const HexImage& image, int flashLastAddr) {
    FirmwareCache cache;
    cache.recreate(flashLastAddr);
    for (int address = image.lowest(); address <= std::min(flashLastAddr, image.highest()); ++address) {
        if (image.isWritten(address))
            cache.setByteText(address, image.byteText(address));
    }
    for (int index = 0; index < kConfigCount; ++index) {
        if (image.hasConfig(index))
            cache.setConfigText(index, image.configText(index));
    }
    return cache;
}

void FirmwareCache::setByteText(int address, QByteArrayView text) {
    strFirmwareImage_[2 * address] = text[0];
    strFirmwareImage_[2 * address + 1] = text[1];
    written_[static_cast<size_t>(address)] = true;
}

bool FirmwareCache::writesInto(int address, int length) const {
    const auto begin = written_.begin() + std::clamp(address, 0, size());
    const auto end = written_.begin() + std::clamp(address + length, 0, size());
    return std::find(begin, end, true) != end;
}

void FirmwareCache::forget(int address, int length) {
    for (int i = std::max(address, 0); i < std::min(address + length, size()); ++i) {
        strFirmwareImage_[2 * i] = '0';
        strFirmwareImage_[2 * i + 1] = '0';
        written_[static_cast<size_t>(i)] = false;
    }
}

void FirmwareCache::setConfigText(int index, QByteArrayView text) {
    strFirmwareConfig_[index] = {text[0], text[1]};
    captured_.set(static_cast<size_t>(index));
}

} // namespace zelvan
