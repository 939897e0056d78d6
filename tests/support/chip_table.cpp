#include "chip_table.h"

#include "production/record_sink.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace zelvan::test {

QList<QSqlRecord> sqlRows(const QString& destinationText, const QStringList& statements) {
    QString error;
    const RecordDestination destination = *parseRecordDestination(destinationText, &error);
    const bool sqlite = destination.kind == RecordDestination::Kind::Sqlite;
    const QString name = QStringLiteral("test-check");
    QList<QSqlRecord> rows;
    {
        QSqlDatabase database =
            QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
        database.setDatabaseName(sqlite ? destination.path : destination.database);
        database.setHostName(destination.host);
        database.setPort(destination.port);
        database.setUserName(destination.user);
        database.setConnectOptions(sqlite ? QString() : QStringLiteral("options='-c client_min_messages=warning'"));
        database.open();
        QSqlQuery query(database);
        for (const QString& statement : statements) {
            if (!query.exec(statement))
                qFatal("%s at %s: %s", qPrintable(statement), qPrintable(destinationText),
                       qPrintable(query.lastError().text()));
        }
        while (query.next())
            rows.append(query.record());
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

} // namespace zelvan::test
