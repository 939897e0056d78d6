#include "nearest_word.h"

#include <algorithm>
#include <vector>

namespace zelvan {

int editDistance(const QString& a, const QString& b) {
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (qsizetype i = 0; i <= a.size(); ++i)
        d[i][0] = int(i);
    for (qsizetype j = 0; j <= b.size(); ++j)
        d[0][j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        for (qsizetype j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

QString suggestion(const QString& word, const QStringList& known) {
    const auto nearest = std::min_element(known.begin(), known.end(), [&word](const QString& a, const QString& b) {
        return editDistance(word, a) < editDistance(word, b);
    });
    if (nearest != known.end() && editDistance(word, *nearest) <= std::max<qsizetype>(1, word.size() / 3))
        return QStringLiteral(": did you mean \"%1\"?").arg(*nearest);
    return QStringLiteral("; the choices are: %1").arg(known.join(QStringLiteral(", ")));
}

} // namespace zelvan
