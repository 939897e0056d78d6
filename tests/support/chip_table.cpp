#include "chip_table.h"

#include "production/record_sink.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>

namespace zelvan::test {

namespace {

// Calls use with a connection of the test's own to the destination (not opened when it cannot be).
void withDatabase(const QString& destinationText, const std::function<void(QSqlDatabase&)>& use) {
    QString error;
    const RecordDestination destination = *parseRecordDestination(destinationText, &error);
    const bool sqlite = destination.kind == RecordDestination::Kind::Sqlite;
    const QString name = QStringLiteral("test-check");
    {
        QSqlDatabase database =
            QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
        database.setDatabaseName(sqlite ? destination.path : destination.database);
        database.setHostName(destination.host);
        database.setPort(destination.port);
        database.setUserName(destination.user);
        database.setConnectOptions(sqlite ? QString() : QStringLiteral("options='-c client_min_messages=warning'"));
        database.open();
        use(database);
    }
    QSqlDatabase::removeDatabase(name);
}

// The rows a query gives; a query that fails ends the test program.
QList<QSqlRecord> select(const QString& destination, const QString& statement) {
    QList<QSqlRecord> rows;
    withDatabase(destination, [&](QSqlDatabase& database) {
        QSqlQuery query(database);
        if (!query.exec(statement))
            qFatal("cannot read the chips table of %s", qPrintable(destination));
        while (query.next())
            rows.append(query.record());
    });
    return rows;
}

} // namespace

QList<QSqlRecord> chipTableRows(const QString& destination) {
    return select(destination, QStringLiteral("SELECT * FROM chips ORDER BY \"time\", \"id\""));
}

QStringList chipTableColumns(const QString& destination) {
    QStringList columns;
    for (const QSqlRecord& column :
         select(destination, QStringLiteral("SELECT column_name, data_type FROM information_schema.columns WHERE "
                                            "table_name = 'chips' ORDER BY ordinal_position")))
        columns.append(column.value(0).toString() + QLatin1Char(' ') + column.value(1).toString());
    return columns;
}

QString runSql(const QString& destination, const QStringList& statements) {
    QString error;
    withDatabase(destination, [&](QSqlDatabase& database) {
        QSqlQuery query(database);
        for (const QString& statement : statements) {
            if (error.isEmpty() && !query.exec(statement))
                error = query.lastError().text();
        }
    });
    return error;
}

} // namespace zelvan::test
