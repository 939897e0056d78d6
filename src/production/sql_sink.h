#pragma once

#include "record_spool.h"

#include <QString>

#include <chrono>

namespace zelvan {

// How long a PostgreSQL server may take to accept a connection before the record is spooled.
constexpr std::chrono::seconds kDatabaseConnectTimeout{5};
// How long an SQLite writer waits for another process's write to the same file.
constexpr std::chrono::milliseconds kSqliteBusyTimeout{10000};

// Chip records in a database table "chips", through Qt SQL's QSQLITE or QPSQL driver: one column
// per key of the record's JSON, the record id as primary key, each record stored in a
// transaction of its own. A missing table is made with typed columns (PostgreSQL: timestamptz,
// integer, bigint, boolean, jsonb for files and CRCs, text); a table an earlier version made gets
// the columns it lacks; a table without the columns of a chip record is refused.
//
// A record already stored is not stored again (its id is taken), so sending one twice after a
// crash between storing and emptying the spool does no harm.
//
// Each write opens its own connection under a name of its own and closes it again, so no
// connection is shared between threads.
class SqlRecordSink : public SpooledSink {
public:
    SqlRecordSink(RecordDestination destination, QString spoolPath);

protected:
    std::unique_ptr<RecordDelivery> open(DeliveryFault* fault) override;

private:
    RecordDestination destination_;
    QString connectionName_;
};

} // namespace zelvan
