#pragma once

#include "record_sink.h"

#include <QMutex>
#include <QString>

#include <chrono>

namespace zelvan {

// How long a PostgreSQL server may take to accept a connection before the record is spooled.
constexpr std::chrono::seconds kDatabaseConnectTimeout{5};
// How long an SQLite writer waits for another process's write to the same file.
constexpr std::chrono::milliseconds kSqliteBusyTimeout{10000};
// How long a writer waits for another process to finish with the spool. A lock whose owner has
// died is taken over at once; one older than the stale time whose owner no longer holds it, too.
constexpr std::chrono::milliseconds kSpoolLockWait{30000};
constexpr std::chrono::milliseconds kSpoolStaleLockTime{60000};

// Chip records in a database table "chips" (created when missing), through Qt SQL's QSQLITE or
// QPSQL driver: one column per key of the record's JSON, files and CRCs as JSON text, the record
// id as primary key. Each record is stored in a transaction of its own.
//
// A record that cannot be stored (server down, driver missing, database refusing) is appended to
// the spool, a JSON lines file under a lock shared with other processes; every later write first
// sends what the spool holds, oldest first, and keeps in it only what still could not be sent.
// A record already stored is not stored again (its id is taken), so sending one twice after a
// crash between storing and emptying the spool does no harm.
//
// Writes from several threads take turns; each write opens its own connection under a name of its
// own and closes it again, so no connection is shared between threads.
class SqlRecordSink : public RecordSink {
public:
    SqlRecordSink(RecordDestination destination, QString spoolPath);
    bool write(const ChipRecord& record, QString* error) override;
    const QString& spoolPath() const { return spoolPath_; }

private:
    RecordDestination destination_;
    QString spoolPath_;
    QString connectionName_;
    QMutex writing_;
};

} // namespace zelvan
