#pragma once

#include <QByteArrayView>

namespace zelvan {

// The text without a UTF-8 byte-order mark at its start (editors on Windows write one).
inline QByteArrayView withoutByteOrderMark(QByteArrayView text) {
    constexpr QByteArrayView kUtf8Bom("\xEF\xBB\xBF");
    return text.startsWith(kUtf8Bom) ? text.sliced(kUtf8Bom.size()) : text;
}

// Calls f(line, number) for every line of text, numbered from 1. A line ends at LF, CR LF or a
// lone CR, so files from every system read alike. f returns false to stop early.
template <typename F> void forEachLine(QByteArrayView text, F&& f) {
    int number = 0;
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        const QByteArrayView line = text.sliced(pos, end - pos);
        pos = end;
        if (pos < text.size() && text[pos] == '\r')
            ++pos;
        if (pos < text.size() && text[pos] == '\n')
            ++pos;
        if (!f(line, ++number))
            return;
    }
}

} // namespace zelvan
