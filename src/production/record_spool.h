#pragma once

#include "record_sink.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace zelvan {

// How long a writer waits for another process to finish with the spool. A lock whose owner has
// died is taken over at once; one older than the stale time whose owner no longer holds it, too.
constexpr std::chrono::milliseconds kSpoolLockWait{30000};
constexpr std::chrono::milliseconds kSpoolStaleLockTime{60000};

// The text on one line: the line breaks and tabs of a driver's message become single spaces.
QString oneLine(const QString& text);

// What a spool holds: the records to send, oldest first, and lines that are not records (kept,
// never sent).
struct SpoolContents {
    QList<ChipRecord> records;
    QList<QByteArray> unreadable;
};

// A missing spool is empty; nullopt when it exists but cannot be read (then it must not be
// rewritten either).
std::optional<SpoolContents> readSpool(const QString& path);

// Why a destination did not take records, and whether it may take them later: a server that does
// not answer may, a refused password or a missing folder will not.
struct DeliveryFault {
    QString why;
    bool waitingHelps = false;
};

// One opening of a destination (a database connection, a file opened for appending), for the
// length of one write.
class RecordDelivery {
public:
    virtual ~RecordDelivery() = default;
    // Stores the records in order up to the first that fails; how many were (*why tells why the
    // rest were not).
    virtual int send(const QList<QJsonObject>& records, QString* why) = 0;
};

// A sink that never loses a record: one that cannot be stored is appended to the spool, a JSON
// lines file under a lock shared with other processes, and every later write first sends what
// the spool holds, oldest first, keeping in it only what still could not be sent. Writes from
// several threads take turns.
class SpooledSink : public RecordSink {
public:
    explicit SpooledSink(QString spoolPath)
        : spoolPath_(std::move(spoolPath)) {}
    bool write(const ChipRecord& record, QString* error) final;
    // Opens the destination once to see whether records can go there now; nullopt when they can.
    std::optional<DeliveryFault> check();
    // Sends what the spool holds; how many records were sent, or nullopt with *error when some
    // could not be (those stay in the spool).
    std::optional<int> flush(QString* error);

protected:
    // Opens the destination; nullptr with *fault when it cannot take records now.
    virtual std::unique_ptr<RecordDelivery> open(DeliveryFault* fault) = 0;

private:
    QString spoolPath_;
    QMutex writing_;
};

} // namespace zelvan
