#include "records.h"

#include "common/hex_text.h"

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
