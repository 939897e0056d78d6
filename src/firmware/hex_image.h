#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <bitset>
#include <optional>

namespace zelvan {

// What Intel HEX files wrote, before it is laid out for a part: every byte of the 16-bit address
// space with its text as the file wrote it (digits keep their case, and go to the board as written)
// and whether it was written at all, and the twelve configuration values captured from FF00H-FFFFH.
// Data at 10000H and above is outside every part's flash and the capture table: it is not kept,
// only the first such address is. Reading a file once gives an image that any part can take.
class HexImage {
public:
    static constexpr int kSize = 0x10000;
    static constexpr int kConfigCount = 12;

    HexImage();

    void write(int address, QByteArrayView text);
    bool isWritten(int address) const { return written_.test(static_cast<size_t>(address)); }
    // The two characters stored for an address ("00" where nothing was written).
    QByteArrayView byteText(int address) const {
        return isWritten(address) ? QByteArrayView(text_).sliced(2 * address, 2) : QByteArrayView("00");
    }
    // The written addresses lie in lowest()..highest() (an empty range when nothing was written).
    int lowest() const { return lowest_; }
    int highest() const { return highest_; }
    // Nothing written anywhere, and no value captured.
    bool isEmpty() const { return written_.none() && captured_.none() && !firstBeyond_; }

    // Data at a full address of 10000H or more: dropped, the first address kept for messages.
    void dropBeyond(quint64 address);

    void capture(int index, QByteArrayView text);
    bool hasConfig(int index) const { return captured_.test(static_cast<size_t>(index)); }
    QByteArrayView configText(int index) const { return QByteArrayView(config_[index].data(), 2); }

    // Lays a later file over this one: every byte it wrote and every value it captured replaces ours.
    void layOver(const HexImage& later);

    // Whether anything lies above the last flash address (written, captured or dropped).
    bool reachesBeyond(int flashLastAddr) const;
    // The first address above the flash that the files write, other than the configuration
    // addresses that are captured: data there would be lost. Nothing when there is none.
    std::optional<quint64> firstAddressOutside(int flashSize) const;

private:
    QByteArray text_; // as far as the highest address written: most images hold a few KB of 64
    std::bitset<kSize> written_;
    // The lowest and highest address written, so that walks over the image skip what is empty.
    int lowest_ = kSize;
    int highest_ = -1;
    std::array<std::array<char, 2>, kConfigCount> config_{};
    std::bitset<kConfigCount> captured_;
    std::optional<quint64> firstBeyond_;
};

// The configuration value a HEX address above the flash feeds (0 UCFG1, 1 UCFG2, 2 boot vector,
// 3 status byte, 4..11 further values), or -1 for an address that captures nothing.
int configIndexForAddress(quint32 address);

} // namespace zelvan
