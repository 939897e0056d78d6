#include "byte_entry.h"

#include "common/hex_text.h"

#include <algorithm>

namespace zelvan {

std::optional<QString> normaliseByteEntry(const QString& entry) {
    const QString digits = entry.trimmed();
    const auto isHexDigit = [](QChar c) { return hexDigitValue(c.unicode()) >= 0; };
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
    return strDecToHex8(static_cast<int>(value));
}

} // namespace zelvan
