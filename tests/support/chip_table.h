#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>

namespace zelvan::test {

// The rows of the chips table at the record destination ("sqlite:FILE" or a PostgreSQL address),
// oldest first, read through a connection of the test's own.
QList<QSqlRecord> chipTableRows(const QString& destination);

} // namespace zelvan::test
