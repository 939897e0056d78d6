#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

namespace zelvan::test {

// Runs the statements in order at the record destination ("sqlite:FILE" or a PostgreSQL address)
// through a connection of the test's own; the rows the last one gives. A statement that fails ends
// the test program.
QList<QSqlRecord> sqlRows(const QString& destination, const QStringList& statements);

// The rows of the chips table at the destination, oldest first.
inline QList<QSqlRecord> chipTableRows(const QString& destination) {
    return sqlRows(destination, {QStringLiteral("SELECT * FROM chips ORDER BY \"time\", \"id\"")});
}

} // namespace zelvan::test
