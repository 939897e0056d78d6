#include "intel_hex.h"

#include "common/hex_text.h"
#include "common/text_lines.h"

namespace zelvan {

namespace {

int hexValue(char c) {
    return hexDigitValue(static_cast<uchar>(c));
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One record of a line, checked; digits holds the hex text after ":" (blanks trimmed).
struct Record {
    int count = 0;
    int address = 0;
    int type = 0;
    QByteArrayView digits;
};

HexReadResult fault(HexFault kind, int line, const QString& reason) {
    HexReadResult result;
    result.fault = kind;
    result.line = line;
    result.reason = reason;
    return result;
}

// Checks one non-blank line; on success fills record and returns a result without fault.
HexReadResult checkLine(QByteArrayView line, int lineNumber, Record& record) {
    if (line.front() != ':')
        return fault(HexFault::NoColon, lineNumber, QStringLiteral("the line does not start with \":\""));
    const QByteArrayView digits = line.sliced(1);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (hexValue(digits[i]) < 0) {
            const QChar shown = QChar::fromLatin1(digits[i]);
            return fault(HexFault::NotHex, lineNumber,
                         QStringLiteral("\"%1\" at column %2 is not a hexadecimal digit")
                             .arg(shown.isPrint()
                                      ? QString(shown)
                                      : QStringLiteral("\\x%1").arg(strDecToHex8(static_cast<uchar>(digits[i]))))
                             .arg(i + 2));
        }
    }
    if (digits.size() % 2 != 0)
        return fault(HexFault::BadLength, lineNumber,
                     QStringLiteral("the record has an odd number of hex digits (%1)").arg(digits.size()));
    if (digits.size() < 10)
        return fault(HexFault::BadLength, lineNumber, QStringLiteral("the record is too short"));

    const auto byteAt = [&digits](qsizetype index) {
        return hexValue(digits[2 * index]) * 16 + hexValue(digits[2 * index + 1]);
    };
    record.count = byteAt(0);
    const qsizetype bytesOnLine = digits.size() / 2;
    if (bytesOnLine != record.count + 5)
        return fault(HexFault::BadLength, lineNumber,
                     QStringLiteral("the byte count says %1 data bytes but the line holds %2")
                         .arg(record.count)
                         .arg(bytesOnLine - 5));
    int sum = 0;
    for (qsizetype i = 0; i < bytesOnLine; ++i)
        sum += byteAt(i);
    if ((sum & 0xFF) != 0) {
        const int given = byteAt(bytesOnLine - 1);
        const int needed = (given - sum) & 0xFF;
        return fault(HexFault::BadChecksum, lineNumber,
                     QStringLiteral("the checksum is %1 but the record's bytes need %2")
                         .arg(strDecToHex8(given), strDecToHex8(needed)));
    }
    record.address = byteAt(1) * 256 + byteAt(2);
    record.type = byteAt(3);
    record.digits = digits;
    if (record.type > 5)
        return fault(HexFault::UnknownType, lineNumber,
                     QStringLiteral("record type %1 is not an Intel HEX record type").arg(strDecToHex8(record.type)));
    const int neededCount = record.type == 2 || record.type == 4 ? 2 : record.type == 3 || record.type == 5 ? 4 : -1;
    if (neededCount >= 0 && record.count != neededCount)
        return fault(HexFault::BadAddressRecord, lineNumber,
                     QStringLiteral("an address record of type %1 must hold %2 bytes, not %3")
                         .arg(strDecToHex8(record.type))
                         .arg(neededCount)
                         .arg(record.count));
    return HexReadResult{};
}

// Where the data of the following records goes: a segment base wraps its offsets within 64 KB, a
// linear base does not.
struct Base {
    quint32 value = 0;
    bool segment = false;

    quint64 address(int offset, int i) const {
        // In 64 bits: a linear base near 4 GB plus the offset must not wrap round into the flash.
        return segment ? quint64(value) + quint64((offset + i) & 0xFFFF)
                       : quint64(value) + quint64(offset) + quint64(i);
    }
};

// Data replaces the image's bytes; at a configuration address it feeds a value too; at 10000H and
// above it is dropped.
void storeData(const Record& record, const Base& base, HexImage& image) {
    const QByteArrayView data = record.digits.sliced(8, 2 * record.count);
    for (int i = 0; i < record.count; ++i) {
        const quint64 address = base.address(record.address, i);
        const QByteArrayView byteText = data.sliced(2 * i, 2);
        if (address >= quint64(HexImage::kSize)) {
            image.dropBeyond(address);
            continue;
        }
        image.write(static_cast<int>(address), byteText);
        if (const int index = configIndexForAddress(static_cast<quint32>(address)); index >= 0)
            image.capture(index, byteText);
    }
}

} // namespace

HexReadResult readIntelHex(QByteArrayView text, HexImage& image) {
    HexReadResult result;
    Base base;
    int lines = 0;
    bool ended = false;
    forEachLine(withoutByteOrderMark(text), [&](QByteArrayView line, int lineNumber) {
        lines = lineNumber;
        while (!line.isEmpty() && isBlank(line.front()))
            line = line.sliced(1);
        while (!line.isEmpty() && isBlank(line.back()))
            line.chop(1);
        if (line.isEmpty())
            return true;

        Record record;
        const HexReadResult checked = checkLine(line, lineNumber, record);
        if (!checked.ok()) {
            result = checked;
            return false;
        }
        switch (record.type) {
        case 0:
            ++result.dataRecords;
            storeData(record, base, image);
            break;
        case 1:
            ended = true; // the end record: nothing after it is read
            return false;
        case 2:
        case 4: {
            const quint32 number = static_cast<quint32>(record.digits.sliced(8, 4).toUInt(nullptr, 16));
            base = Base{record.type == 2 ? number << 4 : number << 16, record.type == 2};
            break;
        }
        default:
            break; // start address records say where execution starts: nothing to store
        }
        return true;
    });
    if (result.ok() && !ended)
        return fault(HexFault::NoEndRecord, lines + 1,
                     QStringLiteral("the file ends without an end record (:00000001FF); it may be cut short"));
    return result;
}

} // namespace zelvan
