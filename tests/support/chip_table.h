#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

namespace zelvan::test {

// The rows of the chips table at the record destination ("sqlite:FILE" or a PostgreSQL address),
// oldest first, read through a connection of the test's own.
QList<QSqlRecord> chipTableRows(const QString& destination);

// The chips table's columns at a PostgreSQL destination as "name type", in the table's order
// (types as the server names them: "text", "bigint", "timestamp with time zone", ...).
QStringList chipTableColumns(const QString& destination);

// Runs the statements at the destination, in order; the first one's error, empty when all ran.
QString runSql(const QString& destination, const QStringList& statements);

} // namespace zelvan::test
