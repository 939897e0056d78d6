#pragma once

#include "device/device_catalogue.h"
#include "firmware/firmware_cache.h"
#include "firmware/hex_image.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace zelvan {

// How a serial number is stored in its bytes.
enum class SerialFormat {
    BigEndian,    // "be": binary, most significant byte first
    LittleEndian, // "le": binary, least significant byte first (how SDCC and Keil keep multi-byte integers)
    Bcd,          // "bcd": two decimal digits a byte, most significant first
    Ascii,        // "ascii": decimal digits as ASCII characters, right-aligned, zero-padded
};

// The format's name as written after ADDR:BYTES.
QString serialFormatName(SerialFormat format);

// Where each chip gets its serial number: bytes bytes at a flash address, in a format.
// bytes is 1..4, or 1..10 for ascii.
struct SerialPlace {
    quint32 address = 0;
    int bytes = 4;
    SerialFormat format = SerialFormat::BigEndian;

    bool operator==(const SerialPlace&) const = default;
};

// Reads "ADDR[:BYTES[:FORMAT]]": ADDR decimal or 0x-prefixed hexadecimal, BYTES 4 when left out,
// FORMAT be (the default), le, bcd or ascii. nullopt with *error saying what is wrong.
std::optional<SerialPlace> parseSerialPlace(QStringView text, QString* error);

// The largest number the place holds (0 for a size its format does not have).
quint64 largestSerialNumber(const SerialPlace& place);

// Why number cannot go to the place ("256 does not fit in 1 byte as be (largest 255)"), empty when
// it fits.
QString serialNumberMisfit(quint64 number, const SerialPlace& place);

// Why the serial number cannot go to that place on this part: outside the flash, or reaching
// into the bootloader area (when the bootloader lies inside the flash). Empty when it fits.
QString serialPlaceProblem(const SerialPlace& place, const DeviceGeometry& geometry);

// Why the serial number would land on the image's code: the image writes bytes where the number
// goes, and they are not a placeholder (all 00 or all FF). Empty when it does not.
QString serialOverlapProblem(const SerialPlace& place, const HexImage& image);

// The number's bytes in the place's format; empty when the number does not fit the place.
QByteArray serialBytes(quint64 number, const SerialPlace& place);

// The number that bytes hold in the place's format; nullopt when they are not bytes of that
// format (another size, a BCD nibble above 9, a character that is not a digit).
std::optional<quint64> serialNumberFromBytes(const QByteArray& bytes, const SerialPlace& place);

// Writes the number's bytes into the image at the place's address, as upper-case hex texts. False
// (nothing written) when the number does not fit the place or the bytes do not lie inside the image.
bool laySerialNumber(FirmwareCache& cache, const SerialPlace& place, quint64 number);

} // namespace zelvan
