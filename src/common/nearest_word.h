#pragma once

#include <QString>
#include <QStringList>

namespace zelvan {

// The number of single-letter changes (insert, delete, replace, swap two neighbours) from a to b.
int editDistance(const QString& a, const QString& b);

// What to say of a word that names nothing known: ": did you mean "X"?" for the nearest known word
// when it is near (a typo: at most a third of the word's letters, at least one), otherwise
// "; the choices are: A, B, C".
QString suggestion(const QString& word, const QStringList& known);

} // namespace zelvan
