#include "serial_place.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <array>

namespace zelvan {

namespace {

struct FormatEntry {
    SerialFormat format;
    const char* name;
    int maxBytes;
};

constexpr std::array<FormatEntry, 4> kFormats{{
    {SerialFormat::BigEndian, "be", 4},
    {SerialFormat::LittleEndian, "le", 4},
    {SerialFormat::Bcd, "bcd", 4},
    {SerialFormat::Ascii, "ascii", 10},
}};

const FormatEntry& entryOf(SerialFormat format) {
    for (const FormatEntry& entry : kFormats)
        if (entry.format == format)
            return entry;
    return kFormats.front();
}

bool hasValidSize(const SerialPlace& place) {
    return place.bytes >= 1 && place.bytes <= entryOf(place.format).maxBytes;
}

quint64 powerOfTen(int exponent) {
    quint64 result = 1;
    while (exponent-- > 0)
        result *= 10;
    return result;
}

QString hexAddress(quint64 address) {
    return QStringLiteral("0x") + QString::number(address, 16).rightJustified(4, QLatin1Char('0')).toUpper();
}

} // namespace

QString serialFormatName(SerialFormat format) {
    return QLatin1String(entryOf(format).name);
}

std::optional<SerialPlace> parseSerialPlace(QStringView text, QString* error) {
    static const QRegularExpression form(QStringLiteral("^(0[xX][0-9A-Fa-f]+|[0-9]+)(?::([0-9]+)(?::([A-Za-z]+))?)?$"));
    const QRegularExpressionMatch match = form.match(text.toString());
    if (!match.hasMatch()) {
        *error = QStringLiteral("serial number place \"%1\" is not ADDR[:BYTES[:FORMAT]] (ADDR decimal or 0x hex, "
                                "BYTES 1..4 or 1..10 for ascii, FORMAT be, le, bcd or ascii)")
                     .arg(text);
        return std::nullopt;
    }
    const QString address = match.captured(1);
    bool ok = false;
    const qulonglong value = address.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                 ? address.mid(2).toULongLong(&ok, 16)
                                 : address.toULongLong(&ok, 10);
    if (!ok || value > 0xFFFFFFFFu) {
        *error = QStringLiteral("serial number address %1 is too large").arg(address);
        return std::nullopt;
    }
    SerialPlace place;
    place.address = static_cast<quint32>(value);
    if (match.hasCaptured(3)) {
        const QString name = match.captured(3).toLower();
        const auto entry = std::find_if(kFormats.begin(), kFormats.end(),
                                        [&](const FormatEntry& e) { return name == QLatin1String(e.name); });
        if (entry == kFormats.end()) {
            *error = QStringLiteral("serial number format \"%1\" is none of be, le, bcd, ascii").arg(match.captured(3));
            return std::nullopt;
        }
        place.format = entry->format;
    }
    if (match.hasCaptured(2)) {
        place.bytes = match.captured(2).toInt(&ok);
        if (!ok || !hasValidSize(place)) {
            *error = QStringLiteral("serial number size %1 must be 1 to %2 bytes for %3")
                         .arg(match.captured(2))
                         .arg(entryOf(place.format).maxBytes)
                         .arg(serialFormatName(place.format));
            return std::nullopt;
        }
    }
    return place;
}

quint64 largestSerialNumber(const SerialPlace& place) {
    if (!hasValidSize(place))
        return 0;
    switch (place.format) {
    case SerialFormat::BigEndian:
    case SerialFormat::LittleEndian:
        return (quint64(1) << (8 * place.bytes)) - 1;
    case SerialFormat::Bcd:
        return powerOfTen(2 * place.bytes) - 1;
    case SerialFormat::Ascii:
        return powerOfTen(place.bytes) - 1;
    }
    return 0;
}

QString serialNumberMisfit(quint64 number, const SerialPlace& place) {
    if (hasValidSize(place) && number <= largestSerialNumber(place))
        return QString();
    return QStringLiteral("%1 does not fit in %2 byte%3 as %4 (largest %5)")
        .arg(number)
        .arg(place.bytes)
        .arg(place.bytes == 1 ? QString() : QStringLiteral("s"), serialFormatName(place.format))
        .arg(largestSerialNumber(place));
}

QString serialPlaceProblem(const SerialPlace& place, const DeviceGeometry& geometry) {
    const quint64 end = quint64(place.address) + quint64(place.bytes);
    const QString where = QStringLiteral("serial number at %1..%2").arg(hexAddress(place.address), hexAddress(end - 1));
    if (end > quint64(geometry.flashSize()))
        return QStringLiteral("%1 lies outside the flash (0x0000..%2)")
            .arg(where, hexAddress(geometry.flashSize() - 1));
    if (geometry.intBootloaderAddr < geometry.flashSize() && end > quint64(geometry.intBootloaderAddr))
        return QStringLiteral("%1 reaches into the bootloader area from %2")
            .arg(where, hexAddress(geometry.intBootloaderAddr));
    return QString();
}

QByteArray serialBytes(quint64 number, const SerialPlace& place) {
    if (!serialNumberMisfit(number, place).isEmpty())
        return QByteArray();
    QByteArray result(place.bytes, '\0');
    switch (place.format) {
    case SerialFormat::BigEndian:
        for (int i = place.bytes - 1; i >= 0; --i, number >>= 8)
            result[i] = static_cast<char>(number & 0xFF);
        break;
    case SerialFormat::LittleEndian:
        for (int i = 0; i < place.bytes; ++i, number >>= 8)
            result[i] = static_cast<char>(number & 0xFF);
        break;
    case SerialFormat::Bcd:
        for (int i = place.bytes - 1; i >= 0; --i, number /= 100)
            result[i] = static_cast<char>(((number / 10 % 10) << 4) | (number % 10));
        break;
    case SerialFormat::Ascii:
        result = QByteArray::number(number).rightJustified(place.bytes, '0');
        break;
    }
    return result;
}

std::optional<quint64> serialNumberFromBytes(const QByteArray& bytes, const SerialPlace& place) {
    if (!hasValidSize(place) || bytes.size() != place.bytes)
        return std::nullopt;
    quint64 number = 0;
    for (int i = 0; i < bytes.size(); ++i) {
        const quint8 byte = static_cast<quint8>(bytes[i]);
        switch (place.format) {
        case SerialFormat::BigEndian:
            number = (number << 8) | byte;
            break;
        case SerialFormat::LittleEndian:
            number |= quint64(byte) << (8 * i);
            break;
        case SerialFormat::Bcd:
            if ((byte >> 4) > 9 || (byte & 0x0F) > 9)
                return std::nullopt;
            number = number * 100 + (byte >> 4) * 10 + (byte & 0x0F);
            break;
        case SerialFormat::Ascii:
            if (byte < '0' || byte > '9')
                return std::nullopt;
            number = number * 10 + (byte - '0');
            break;
        }
    }
    return number;
}

QString serialOverlapProblem(const SerialPlace& place, const HexImage& image) {
    QStringList written;
    for (quint64 address = place.address; address < quint64(place.address) + place.bytes; ++address) {
        if (address < quint64(HexImage::kSize) && image.isWritten(int(address)))
            written.append(image.byteText(int(address)).toByteArray().toUpper());
    }
    const bool placeholder =
        written.count(QStringLiteral("00")) == written.size() || written.count(QStringLiteral("FF")) == written.size();
    if (placeholder)
        return QString();
    return QStringLiteral("the serial number at %1H..%2H would overwrite bytes the files write there (%3); leave a "
                          "placeholder of 00 or FF bytes there, or choose another place")
        .arg(QString::number(place.address, 16).toUpper().rightJustified(4, QLatin1Char('0')),
             QString::number(place.address + place.bytes - 1, 16).toUpper().rightJustified(4, QLatin1Char('0')),
             written.join(QLatin1Char(' ')));
}

bool laySerialNumber(FirmwareCache& cache, const SerialPlace& place, quint64 number) {
    const QByteArray bytes = serialBytes(number, place);
    if (bytes.isEmpty() || quint64(place.address) + quint64(place.bytes) > quint64(cache.size()))
        return false;
    for (int i = 0; i < bytes.size(); ++i)
        cache.setByteText(int(place.address) + i, bytes.mid(i, 1).toHex().toUpper());
    return true;
}

} // namespace zelvan
