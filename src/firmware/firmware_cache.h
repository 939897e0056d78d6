#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <bitset>

namespace zelvan {

// The program waiting to be written into the flash: one two-character hex text per flash address
// (exactly as the HEX file wrote it, "00" where nothing was loaded), and twelve configuration
// values captured from above the flash. Whether a value was captured is kept apart from the value
// itself, so that a captured "FF" is a value like any other.
class FirmwareCache {
public:
    static constexpr int kConfigCount = 12;

    // Discards everything and makes room for addresses 0..flashLastAddr (all "00").
    void recreate(int flashLastAddr);
    // Every image element "00", no configuration value captured.
    void clear();

    int size() const { return static_cast<int>(strFirmwareImage_.size() / 2); }
    // The two characters stored for an address.
    QByteArrayView byteText(int address) const { return QByteArrayView(strFirmwareImage_).sliced(2 * address, 2); }
    void setByteText(int address, QByteArrayView text);
    // The whole image as one text, two characters per address.
    const QByteArray& imageText() const { return strFirmwareImage_; }

    // The captured value's two characters, "FF" when none was captured.
    QByteArrayView configText(int index) const { return QByteArrayView(strFirmwareConfig_[index].data(), 2); }
    void setConfigText(int index, QByteArrayView text);
    bool hasConfig(int index) const { return captured_.test(static_cast<size_t>(index)); }

    bool operator==(const FirmwareCache&) const = default;

private:
    QByteArray strFirmwareImage_;
    std::array<std::array<char, 2>, kConfigCount> strFirmwareConfig_ = emptyConfig();
    std::bitset<kConfigCount> captured_;

    static std::array<std::array<char, 2>, kConfigCount> emptyConfig();
};

} // namespace zelvan
