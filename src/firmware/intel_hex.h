#pragma once

#include "hex_image.h"

#include <QByteArrayView>
#include <QString>

namespace zelvan {

// Why an Intel HEX file was refused. The numbers are the fault numbers the user sees.
enum class HexFault {
    None = 0,
    NoColon = 1,          // the line does not start with ":"
    NotHex = 2,           // a character that is not a hexadecimal digit
    BadLength = 3,        // odd digit count, too short, or a byte count the line does not hold
    BadChecksum = 4,      // the bytes do not add up to 0
    UnknownType = 5,      // a record type other than 00..05
    BadAddressRecord = 6, // an extended or start address record of the wrong size
    NoEndRecord = 7,      // the file ends without ":00000001FF" (truncated)
    Unreadable = 8,       // the file could not be opened or read, or is not a regular file
    TooLarge = 9,         // the file is too large to be a firmware image
};

struct HexReadResult {
    HexFault fault = HexFault::None;
    int line = 0;   // 1-based line of the fault
    QString reason; // what is wrong, in words
    int dataRecords = 0;

    bool ok() const { return fault == HexFault::None; }
};

// Reads Intel HEX text into the image. Lines may end in LF, CR LF or CR; a UTF-8 byte-order mark
// at the start is skipped. Every record is checked (":" start, hex digits, byte count against the
// line, checksum, record type 00..05) and the file must end with an end record; reading stops
// there. Extended segment (02) and linear (04) address records move the base of the following
// data; after a segment record, data that runs past the end of its 64 KB segment wraps round to
// the segment's start, as Intel HEX defines. Data replaces the image's bytes, text as written;
// data at a configuration address is captured too; data at 10000H and above is dropped.
//
// On a fault the image may hold part of the file: read into a copy and keep it only when ok().
HexReadResult readIntelHex(QByteArrayView text, HexImage& image);

} // namespace zelvan
