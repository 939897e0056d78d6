#include "hex_text.h"

#include <algorithm>

namespace zelvan {

bool isHexText(QStringView text, qsizetype digits) {
    return text.size() == digits &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return hexDigitValue(c.unicode()) >= 0; });
}

QString strDecToHex16(int num) {
    return QStringLiteral("%1").arg(static_cast<quint16>(num), 4, 16, QLatin1Char('0')).toUpper();
}

QString strDecToHex8(int num) {
    // Negative values follow the 16-bit two's complement, as every number of the link is 16-bit.
    const quint32 value = num < 0 ? static_cast<quint16>(num) : static_cast<quint32>(num);
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace zelvan
