#include "sql_sink.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <algorithm>
#include <array>
#include <atomic>

namespace zelvan {

namespace {

enum class ColumnKind { Text, Time, Integer, BigInteger, Boolean, Json };

struct Column {
    const char* name; // the record's JSON key
    ColumnKind kind;
    bool everPresent; // false: a column later versions added, which an older table lacks
};

constexpr auto kColumns = std::to_array<Column>({
    {"id", ColumnKind::Text, true},
    {"time", ColumnKind::Time, true},
    {"command", ColumnKind::Text, false},
    {"program_version", ColumnKind::Text, false},
    {"host", ColumnKind::Text, true},
    {"port", ColumnKind::Text, true},
    {"device", ColumnKind::Text, true},
    {"loader_version", ColumnKind::Text, true},
    {"part", ColumnKind::Text, true},
    {"ids", ColumnKind::Text, true},
    {"files", ColumnKind::Json, true},
    {"serial_number", ColumnKind::BigInteger, true},
    {"serial_address", ColumnKind::BigInteger, false},
    {"serial_bytes", ColumnKind::Integer, false},
    {"serial_format", ColumnKind::Text, false},
    {"serial_void", ColumnKind::Boolean, true},
    {"crcs", ColumnKind::Json, true},
    {"sectors_sent", ColumnKind::Integer, false},
    {"sectors_unchanged", ColumnKind::Integer, false},
    {"verify", ColumnKind::Text, true},
    {"exit_status", ColumnKind::Integer, true},
    {"error", ColumnKind::Text, true},
    {"duration_ms", ColumnKind::BigInteger, true},
});

constexpr char kTable[] = "chips";

// The words libpq and SQLite use when the server does not answer now or another writer holds the
// file: trying later may succeed. Any other refusal (a password, a missing database or role, a
// table of another shape) stays until someone mends it.
constexpr auto kPassingFaults = std::to_array<const char*>({
    "Connection refused",
    "timeout expired",
    "timed out",
    "could not connect",
    "No route to host",
    "Network is unreachable",
    "Temporary failure in name resolution",
    "server closed the connection unexpectedly",
    "no connection to the server",
    "the database system is", // starting up, shutting down, in recovery mode
    "too many clients",
    "database is locked",
});

bool waitingHelps(const QString& why) {
    return std::any_of(kPassingFaults.begin(), kPassingFaults.end(),
                       [&](const char* words) { return why.contains(QLatin1String(words), Qt::CaseInsensitive); });
}

QString columnType(ColumnKind kind, bool postgres) {
    switch (kind) {
    case ColumnKind::Text:
        return QStringLiteral("TEXT");
    case ColumnKind::Time:
        return postgres ? QStringLiteral("TIMESTAMPTZ") : QStringLiteral("TEXT");
    case ColumnKind::Integer:
        return QStringLiteral("INTEGER");
    case ColumnKind::BigInteger:
        return postgres ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    case ColumnKind::Boolean:
        return QStringLiteral("BOOLEAN");
    case ColumnKind::Json:
        return postgres ? QStringLiteral("JSONB") : QStringLiteral("TEXT");
    }
    return QString();
}

QString quoted(const char* name) {
    return QLatin1Char('"') + QLatin1String(name) + QLatin1Char('"');
}

QString createTableStatement(bool postgres) {
    QStringList columns;
    for (const Column& column : kColumns)
        columns.append(quoted(column.name) + QLatin1Char(' ') + columnType(column.kind, postgres));
    columns.front() += QStringLiteral(" PRIMARY KEY");
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(QLatin1String(kTable), columns.join(QStringLiteral(", ")));
}

QString insertStatement() {
    QStringList names;
    for (const Column& column : kColumns)
        names.append(quoted(column.name));
    const QStringList places(names.size(), QStringLiteral("?"));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (\"id\") DO NOTHING")
        .arg(QLatin1String(kTable), names.join(QStringLiteral(", ")), places.join(QStringLiteral(", ")));
}

// The value to bind. PostgreSQL gets every value as text, which the server reads as the column's
// own type: so a typed table and one an earlier version made of text columns both take it. SQLite
// keeps the type of the value bound, so it gets numbers and booleans as such.
QVariant columnValue(const QJsonValue& value, ColumnKind kind, bool postgres) {
    if (value.isNull() || value.isUndefined())
        return QVariant(QMetaType::fromType<QString>());
    switch (kind) {
    case ColumnKind::Text:
    case ColumnKind::Time:
        return value.toString();
    case ColumnKind::Integer:
    case ColumnKind::BigInteger:
        return postgres ? QVariant(QString::number(value.toInteger())) : QVariant(qlonglong(value.toInteger()));
    case ColumnKind::Boolean:
        return postgres ? QVariant(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                        : QVariant(value.toBool());
    case ColumnKind::Json:
        return QString::fromUtf8(value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                                 : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    }
    return QVariant();
}

// One connection for the length of one write, on the writing thread, under the sink's name.
class Connection : public RecordDelivery {
public:
    Connection(const RecordDestination& destination, const QString& name)
        : destination_(destination)
        , name_(name)
        , postgres_(destination.kind == RecordDestination::Kind::Postgresql) {}
    ~Connection() override {
        if (!database_.isValid())
            return;
        database_.close();
        database_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects and readies the table.
    bool open(DeliveryFault* fault) {
        const QString driver = postgres_ ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
        if (!QSqlDatabase::isDriverAvailable(driver)) {
            fault->why =
                QStringLiteral("the Qt SQL driver %1 is not installed (Debian package %2)")
                    .arg(driver, postgres_ ? QStringLiteral("libqt6sql6-psql") : QStringLiteral("libqt6sql6-sqlite"));
            return false;
        }
        if (!postgres_ && !sqliteFileWritable(&fault->why))
            return false;
        database_ = QSqlDatabase::addDatabase(driver, name_);
        if (postgres_) {
            database_.setHostName(destination_.host);
            database_.setPort(destination_.port);
            database_.setUserName(destination_.user);
            database_.setPassword(destination_.password);
            database_.setDatabaseName(destination_.database);
            // Quiet: "column already exists" notices would go to stderr.
            database_.setConnectOptions(QStringLiteral("connect_timeout=%1;options='-c client_min_messages=warning'")
                                            .arg(kDatabaseConnectTimeout.count()));
        } else {
            database_.setDatabaseName(destination_.path);
            database_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeout.count()));
        }
        if (!database_.open() || !readyTable(&fault->why)) {
            if (!database_.isOpen())
                fault->why = database_.lastError().text();
            fault->waitingHelps = waitingHelps(fault->why);
            return false;
        }
        return true;
    }

    int send(const QList<QJsonObject>& records, QString* why) override {
        int sent = 0;
        for (const QJsonObject& record : records) {
            QSqlQuery insert(database_);
            bool stored = database_.transaction() && insert.prepare(insertStatement());
            for (const Column& column : kColumns)
                insert.addBindValue(columnValue(record.value(QLatin1String(column.name)), column.kind, postgres_));
            stored = stored && insert.exec() && database_.commit();
            if (!stored) {
                *why = (insert.lastError().isValid() ? insert.lastError() : database_.lastError()).text();
                database_.rollback();
                return sent;
            }
            ++sent;
        }
        return sent;
    }

private:
    // SQLite makes the file when missing, but never its folder.
    bool sqliteFileWritable(QString* why) const {
        const QFileInfo file(destination_.path);
        const QFileInfo folder(file.absolutePath());
        if (!folder.isDir())
            *why = QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(folder.filePath()));
        else if (file.isDir() || (file.exists() && !file.isWritable()) || !folder.isWritable())
            *why = QStringLiteral("cannot write the database file %1").arg(QDir::toNativeSeparators(file.filePath()));
        return why->isEmpty();
    }

    // Makes the table when it is missing; gives a table an earlier version made the columns it
    // lacks (as text in one whose time is text, as that version's tables are); refuses a table
    // that lacks a column every version had, or whose primary key is not the record id.
    bool readyTable(QString* why) {
        const QString table = QLatin1String(kTable);
        QSqlRecord existing = database_.record(table);
        QSqlQuery query(database_);
        if (existing.isEmpty()) {
            if (query.exec(createTableStatement(postgres_)))
                return true;
            // Another station may have made it at the same moment: PostgreSQL then refuses this
            // one's "IF NOT EXISTS" with a duplicate key, and the table is there.
            existing = database_.record(table);
            if (existing.isEmpty()) {
                *why = query.lastError().text();
                return false;
            }
        }
        QStringList lacking;
        for (const Column& column : kColumns) {
            if (column.everPresent && !existing.contains(QLatin1String(column.name)))
                lacking.append(quoted(column.name));
        }
        const QSqlIndex key = database_.primaryIndex(table);
        if (!lacking.isEmpty() || key.count() != 1 || key.fieldName(0) != QLatin1String("id")) {
            *why = QStringLiteral("the table \"%1\" of %2 is not a table of chip records (%3)")
                       .arg(table, database_.databaseName(),
                            lacking.isEmpty() ? QStringLiteral("its primary key is not \"id\"")
                                              : QStringLiteral("no column %1").arg(lacking.join(QStringLiteral(", "))));
            return false;
        }
        const bool textTable =
            postgres_ && existing.field(QStringLiteral("time")).metaType().id() == QMetaType::QString;
        for (const Column& column : kColumns) {
            if (existing.contains(QLatin1String(column.name)))
                continue;
            // Another writer may add the column at the same time: PostgreSQL then skips it, and
            // SQLite's refusal is no fault once the column is there.
            const QString add =
                QStringLiteral("ALTER TABLE %1 ADD COLUMN %2%3 %4")
                    .arg(table, postgres_ ? QStringLiteral("IF NOT EXISTS ") : QString(), quoted(column.name),
                         textTable ? QStringLiteral("TEXT") : columnType(column.kind, postgres_));
            if (!query.exec(add) && !database_.record(table).contains(QLatin1String(column.name))) {
                *why = query.lastError().text();
                return false;
            }
        }
        return true;
    }

    const RecordDestination& destination_;
    QString name_;
    bool postgres_;
    QSqlDatabase database_;
};

std::atomic<int> connectionCount{0};

} // namespace

SqlRecordSink::SqlRecordSink(RecordDestination destination, QString spoolPath)
    : SpooledSink(std::move(spoolPath))
    , destination_(std::move(destination))
    , connectionName_(QStringLiteral("zelvan-chip-records-%1").arg(++connectionCount)) {}

std::unique_ptr<RecordDelivery> SqlRecordSink::open(DeliveryFault* fault) {
    auto connection = std::make_unique<Connection>(destination_, connectionName_);
    if (!connection->open(fault))
        return nullptr;
    return connection;
}

} // namespace zelvan
