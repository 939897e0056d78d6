#pragma once

#include <QString>
#include <QStringView>

namespace zelvan {

// The value of one hexadecimal digit, upper or lower case; -1 for any other character.
constexpr int hexDigitValue(char16_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Whether text is exactly digits hexadecimal digits (either case).
bool isHexText(QStringView text, qsizetype digits);

// Hex form of a 16-bit value in four upper-case digits; negative values as their two's complement.
QString strDecToHex16(int num);

// Hex form of num in at least two upper-case digits; values above 255 are not cut (300 gives "12C").
QString strDecToHex8(int num);

} // namespace zelvan
