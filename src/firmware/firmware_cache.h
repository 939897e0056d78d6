#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

namespace zelvan {

// The program waiting to be written into the flash: one two-character hex text per flash address
// (exactly as the HEX file wrote it, "00" where nothing was loaded), and twelve configuration
// values captured from above the flash ("FF" where none was).
class FirmwareCache {
public:
    static constexpr int kConfigCount = 12;

    // Discards everything and makes room for addresses 0..flashLastAddr (all "00").
    void recreate(int flashLastAddr);
    // Every image element "00", every configuration value "FF".
    void clear();

    int size() const { return static_cast<int>(strFirmwareImage_.size() / 2); }
    // The two characters stored for an address.
    QByteArrayView byteText(int address) const { return QByteArrayView(strFirmwareImage_).sliced(2 * address, 2); }
    void setByteText(int address, QByteArrayView text);
    // The whole image as one text, two characters per address.
    const QByteArray& imageText() const { return strFirmwareImage_; }

    QByteArrayView configText(int index) const { return QByteArrayView(strFirmwareConfig_[index].data(), 2); }
    void setConfigText(int index, QByteArrayView text);
    bool hasConfig(int index) const { return configText(index) != QByteArrayView("FF"); }

    bool operator==(const FirmwareCache&) const = default;

private:
    QByteArray strFirmwareImage_;
    std::array<std::array<char, 2>, kConfigCount> strFirmwareConfig_ = emptyConfig();

    static std::array<std::array<char, 2>, kConfigCount> emptyConfig();
};

} // namespace zelvan
