#include "sql_sink.h"

#include "durable_file.h"
#include "json_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <array>
#include <atomic>
#include <optional>

namespace zelvan {

namespace {

enum class ColumnKind { Text, Integer, Boolean, Json };

struct Column {
    const char* name; // the record's JSON key
    ColumnKind kind;
};

constexpr std::array<Column, 16> kColumns{{
    {"id", ColumnKind::Text},
    {"time", ColumnKind::Text},
    {"host", ColumnKind::Text},
    {"port", ColumnKind::Text},
    {"device", ColumnKind::Text},
    {"loader_version", ColumnKind::Text},
    {"part", ColumnKind::Text},
    {"ids", ColumnKind::Text},
    {"files", ColumnKind::Json},
    {"serial_number", ColumnKind::Integer},
    {"serial_void", ColumnKind::Boolean},
    {"crcs", ColumnKind::Json},
    {"verify", ColumnKind::Text},
    {"exit_status", ColumnKind::Integer},
    {"error", ColumnKind::Text},
    {"duration_ms", ColumnKind::Integer},
}};

QString quoted(const char* name) {
    return QLatin1Char('"') + QLatin1String(name) + QLatin1Char('"');
}

QString createTableStatement() {
    QStringList columns;
    for (const Column& column : kColumns) {
        const char* type = column.kind == ColumnKind::Integer   ? "BIGINT"
                           : column.kind == ColumnKind::Boolean ? "BOOLEAN"
                                                                : "TEXT";
        columns.append(quoted(column.name) + QLatin1Char(' ') + QLatin1String(type));
    }
    columns.front() += QStringLiteral(" PRIMARY KEY");
    return QStringLiteral("CREATE TABLE IF NOT EXISTS chips (%1)").arg(columns.join(QStringLiteral(", ")));
}

QString insertStatement() {
    QStringList names;
    for (const Column& column : kColumns)
        names.append(quoted(column.name));
    const QStringList places(names.size(), QStringLiteral("?"));
    return QStringLiteral("INSERT INTO chips (%1) VALUES (%2) ON CONFLICT (\"id\") DO NOTHING")
        .arg(names.join(QStringLiteral(", ")), places.join(QStringLiteral(", ")));
}

QVariant columnValue(const QJsonValue& value, ColumnKind kind) {
    switch (kind) {
    case ColumnKind::Text:
        return value.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(value.toString());
    case ColumnKind::Integer:
        return value.isNull() ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(qlonglong(value.toInteger()));
    case ColumnKind::Boolean:
        return value.toBool();
    case ColumnKind::Json:
        return QString::fromUtf8(value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                                                 : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    }
    return QVariant();
}

// One connection for the length of one write, on the writing thread, under the sink's name.
class Connection {
public:
    Connection(const RecordDestination& destination, const QString& name)
        : destination_(destination)
        , name_(name)
        , driver_(destination.kind == RecordDestination::Kind::Sqlite ? QStringLiteral("QSQLITE")
                                                                      : QStringLiteral("QPSQL")) {}
    ~Connection() {
        if (!database_.isValid())
            return;
        database_.close();
        database_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects and makes the table when it is missing.
    bool open(QString* why) {
        if (!QSqlDatabase::isDriverAvailable(driver_)) {
            *why = QStringLiteral("the Qt SQL driver %1 is not installed").arg(driver_);
            return false;
        }
        database_ = QSqlDatabase::addDatabase(driver_, name_);
        if (destination_.kind == RecordDestination::Kind::Sqlite) {
            QDir().mkpath(QFileInfo(destination_.path).absolutePath());
            database_.setDatabaseName(destination_.path);
            database_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyTimeout.count()));
        } else {
            database_.setHostName(destination_.host);
            database_.setPort(destination_.port);
            database_.setUserName(destination_.user);
            database_.setPassword(destination_.password);
            database_.setDatabaseName(destination_.database);
            // Quiet: "relation already exists" notices would go to stderr on every write.
            database_.setConnectOptions(QStringLiteral("connect_timeout=%1;options='-c client_min_messages=warning'")
                                            .arg(kDatabaseConnectTimeout.count()));
        }
        QSqlQuery create(database_);
        if (!database_.open() || !create.exec(createTableStatement())) {
            *why = database_.isOpen() ? create.lastError().text() : database_.lastError().text();
            return false;
        }
        return true;
    }

    // Stores the records in order, a transaction each, up to the first that fails; how many were.
    int send(const QList<QJsonObject>& records, QString* why) {
        int sent = 0;
        for (const QJsonObject& record : records) {
            QSqlQuery insert(database_);
            bool stored = database_.transaction() && insert.prepare(insertStatement());
            for (const Column& column : kColumns)
                insert.addBindValue(columnValue(record.value(QLatin1String(column.name)), column.kind));
            stored = stored && insert.exec() && database_.commit();
            if (!stored) {
                *why = insert.lastError().isValid() ? insert.lastError().text() : database_.lastError().text();
                database_.rollback();
                return sent;
            }
            ++sent;
        }
        return sent;
    }

private:
    const RecordDestination& destination_;
    QString name_;
    QString driver_;
    QSqlDatabase database_;
};

// What the spool holds: the records to send, and lines that are not records (kept, never sent).
struct Spool {
    QList<QJsonObject> records;
    QList<QByteArray> unreadable;
};

// nullopt when the spool exists but cannot be read: then it must not be rewritten either.
std::optional<Spool> readSpool(const QString& path) {
    Spool spool;
    QFile file(path);
    if (!file.exists())
        return spool;
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            spool.records.append(document.object());
        else if (!line.trimmed().isEmpty())
            spool.unreadable.append(line);
    }
    return spool;
}

// Replaces the spool with its unreadable lines and the records left; on failure the old spool
// stays as it was.
bool rewriteSpool(const QString& path, const Spool& old, const QList<QJsonObject>& left, QString* why) {
    if (old.unreadable.isEmpty() && left.isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            *why = QStringLiteral("cannot empty the spool %1").arg(path);
            return false;
        }
        return true;
    }
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    for (const QByteArray& line : old.unreadable)
        written = written && file.write(line + '\n') >= 0;
    for (const QJsonObject& record : left)
        written = written && file.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n') >= 0;
    if (!written || !file.commit()) {
        *why = QStringLiteral("cannot rewrite the spool %1: %2").arg(path, file.errorString());
        return false;
    }
    syncFolderOf(path);
    return true;
}

std::atomic<int> connectionCount{0};

} // namespace

SqlRecordSink::SqlRecordSink(RecordDestination destination, QString spoolPath)
    : destination_(std::move(destination))
    , spoolPath_(std::move(spoolPath))
    , connectionName_(QStringLiteral("zelvan-chip-records-%1").arg(++connectionCount)) {}

bool SqlRecordSink::write(const ChipRecord& record, QString* error) {
    const QMutexLocker turn(&writing_);
    const QJsonObject json = toJson(record);
    QString why;
    QString spoolWhy;
    {
        Connection connection(destination_, connectionName_);
        // Connect before taking the spool's lock: a server that does not answer holds up this
        // writer only, not the other processes' spools.
        const bool up = connection.open(&why);

        QDir().mkpath(QFileInfo(spoolPath_).absolutePath());
        QLockFile lock(spoolPath_ + QStringLiteral(".lock"));
        lock.setStaleLockTime(kSpoolStaleLockTime);
        // Without the lock the spool is not read or rewritten; a record that was not stored is
        // only appended (whole, in one write). Only a holder stuck for longer than the wait and
        // then rewriting the spool could drop it.
        const bool locked = lockWithin(lock, kSpoolLockWait);
        const std::optional<Spool> spool = up && locked ? readSpool(spoolPath_) : std::nullopt;

        QList<QJsonObject> pending = spool ? spool->records : QList<QJsonObject>();
        pending.append(json);
        const int sent = up ? connection.send(pending, &why) : 0;
        bool rewritten = false;
        if (spool && (pending.size() > 1 || sent < pending.size()))
            rewritten = rewriteSpool(spoolPath_, *spool, pending.mid(sent), &spoolWhy);
        if (sent < pending.size() && !rewritten && !appendJsonLine(spoolPath_, json, &spoolWhy))
            spoolWhy += QStringLiteral("; the record is lost");
        if (!locked)
            spoolWhy += QStringLiteral("; the spool %1 stayed locked").arg(spoolPath_);
        // Stored: a spool that could not be emptied only means records already stored are sent
        // again later, which stores nothing twice.
        if (sent == pending.size())
            return true;
    }
    *error = QStringLiteral("chip record kept in %1 for later, the database did not take it: %2%3")
                 .arg(spoolPath_, why, spoolWhy.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(spoolWhy));
    return false;
}

} // namespace zelvan
