#include "firmware_cache.h"

namespace zelvan {

std::array<std::array<char, 2>, FirmwareCache::kConfigCount> FirmwareCache::emptyConfig() {
    std::array<std::array<char, 2>, kConfigCount> config{};
    for (auto& value : config)
        value = {'F', 'F'};
    return config;
}

void FirmwareCache::recreate(int flashLastAddr) {
    strFirmwareImage_ = QByteArray(2 * (flashLastAddr + 1), '0');
    strFirmwareConfig_ = emptyConfig();
    captured_.reset();
}

void FirmwareCache::clear() {
    strFirmwareImage_.fill('0');
    strFirmwareConfig_ = emptyConfig();
    captured_.reset();
}

void FirmwareCache::setByteText(int address, QByteArrayView text) {
    strFirmwareImage_[2 * address] = text[0];
    strFirmwareImage_[2 * address + 1] = text[1];
}

void FirmwareCache::setConfigText(int index, QByteArrayView text) {
    strFirmwareConfig_[index] = {text[0], text[1]};
    captured_.set(static_cast<size_t>(index));
}

} // namespace zelvan
