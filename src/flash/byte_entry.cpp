#include "byte_entry.h"

#include <algorithm>

namespace zelvan {

std::optional<QString> normaliseByteEntry(const QString& entry) {
    const QString digits = entry.trimmed();
    const auto isHexDigit = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
    };
    if (digits.isEmpty() || !std::all_of(digits.begin(), digits.end(), isHexDigit))
        return std::nullopt;
    if (digits.size() == 2)
        return digits;
    qsizetype first = 0;
    while (first < digits.size() - 1 && digits[first] == QLatin1Char('0'))
        ++first;
    if (digits.size() - first > 2)
        return std::nullopt;
    const uint value = digits.mid(first).toUInt(nullptr, 16);
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace zelvan
