#include "chip_table.h"

#include "production/record_sink.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace zelvan::test {

QList<QSqlRecord> chipTableRows(const QString& destinationText) {
    QString error;
    const RecordDestination destination = *parseRecordDestination(destinationText, &error);
    const bool sqlite = destination.kind == RecordDestination::Kind::Sqlite;
    QList<QSqlRecord> rows;
    const QString name = QStringLiteral("test-check");
    {
        QSqlDatabase database =
            QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
        database.setDatabaseName(sqlite ? destination.path : destination.database);
        database.setHostName(destination.host);
        database.setPort(destination.port);
        database.setUserName(destination.user);
        QSqlQuery query(database);
        if (!database.open() || !query.exec(QStringLiteral("SELECT * FROM chips ORDER BY \"time\", \"id\"")))
            qFatal("cannot read the chips table of %s", qPrintable(destinationText));
        while (query.next())
            rows.append(query.record());
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

} // namespace zelvan::test
