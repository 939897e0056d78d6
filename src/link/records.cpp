#include "records.h"

#include "common/hex_digits.h"

namespace zelvan {

namespace {

// Reads one or two characters as a hexadecimal number; reading stops at the first character that
// is not a hex digit, so a pair without leading digits reads as 0.
int hexPairValue(const QString& text, qsizetype pos) {
    int value = 0;
    for (qsizetype i = pos; i < pos + 2 && i < text.size(); ++i) {
        const int digit = hexDigitValue(text.at(i).unicode());
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return value;
}

} // namespace

QString strAddChecksum(const QString& body) {
    int sum = 0;
    for (qsizetype i = 0; i < body.size(); i += 2)
        sum = (sum + hexPairValue(body, i)) & 0xFF;
    const int checksum = (256 - sum) & 0xFF;
    return body + QStringLiteral("%1").arg(checksum, 2, 16, QLatin1Char('0')).toUpper();
}

QString strDecToHex16(int num) {
    return QStringLiteral("%1").arg(static_cast<quint16>(num), 4, 16, QLatin1Char('0')).toUpper();
}

QString strDecToHex8(int num) {
    // Negative values follow the 16-bit two's complement, as every number of the link is 16-bit.
    const quint32 value = num < 0 ? static_cast<quint16>(num) : static_cast<quint32>(num);
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString configReadBody(int address) {
    return QStringLiteral("01000003") + strDecToHex8(address);
}

QString configWriteBody(int address, const QString& value) {
    return QStringLiteral("02000002") + strDecToHex8(address) + value;
}

QByteArray terminatedRecord(const QString& body) {
    return unterminatedRecord(body) + "\r\n";
}

QByteArray unterminatedRecord(const QString& body) {
    return ':' + strAddChecksum(body).toLatin1();
}

QByteArray quickRecord(const QString& body) {
    const QString text = strAddChecksum(body);
    QByteArray out("Q:");
    out.reserve(2 + text.size() / 2 + 1);
    for (qsizetype i = 0; i < text.size(); i += 2)
        out.append(static_cast<char>(hexPairValue(text, i)));
    out.append('\0');
    return out;
}

} // namespace zelvan
