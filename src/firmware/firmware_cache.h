#pragma once

#include "hex_image.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <bitset>
#include <vector>

namespace zelvan {

// The program waiting to be written into the flash of one part: one two-character hex text per
// flash address (exactly as the HEX file wrote it, "00" where nothing was loaded), which addresses
// the files wrote (a byte written with the erased value 00 is written all the same: its page must
// be programmed and its sector erased), and twelve configuration values captured from above the
// flash. Whether a value was captured is kept apart from the value itself, so that a captured "FF"
// is a value like any other.
class FirmwareCache {
public:
    static constexpr int kConfigCount = HexImage::kConfigCount;

    // Discards everything and makes room for addresses 0..flashLastAddr (all "00", none written).
    void recreate(int flashLastAddr);
    // The image laid out for a part whose flash ends at flashLastAddr.
    static FirmwareCache layOut(const HexImage& image, int flashLastAddr);

    int size() const { return static_cast<int>(strFirmwareImage_.size() / 2); }
    // The two characters stored for an address.
    QByteArrayView byteText(int address) const { return QByteArrayView(strFirmwareImage_).sliced(2 * address, 2); }
    void setByteText(int address, QByteArrayView text);
    // Whether any byte of the range address..address+length-1 was written.
    bool writesInto(int address, int length) const;
    // The whole image as one text, two characters per address.
    const QByteArray& imageText() const { return strFirmwareImage_; }
    // The image as the flash will hold it: one byte per flash address (0x00 where nothing was
    // written), for the functions that work on bytes (the CRC model).
    QByteArray bytes() const { return QByteArray::fromHex(strFirmwareImage_); }

    // The captured value's two characters, "FF" when none was captured.
    QByteArrayView configText(int index) const { return QByteArrayView(strFirmwareConfig_[index].data(), 2); }
    void setConfigText(int index, QByteArrayView text);
    // Takes the bytes address..address+length-1 off the image ("00", not written): a programming
    // leaves them as the flash holds them.
    void forget(int address, int length);
    // Takes a captured value off the image: a programming does not write it.
    void forgetConfig(int index) { captured_.reset(static_cast<size_t>(index)); }
    bool hasConfig(int index) const { return captured_.test(static_cast<size_t>(index)); }

    bool operator==(const FirmwareCache&) const = default;

private:
    QByteArray strFirmwareImage_;
    std::vector<bool> written_;
    std::array<std::array<char, 2>, kConfigCount> strFirmwareConfig_ = emptyConfig();
    std::bitset<kConfigCount> captured_;

    static std::array<std::array<char, 2>, kConfigCount> emptyConfig();
};

} // namespace zelvan
