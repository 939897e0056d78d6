#pragma once

#include "common/stop_request.h"
#include "serial_place.h"

#include <QString>

#include <chrono>
#include <optional>

namespace zelvan {

// How taking a serial number ended: the number, or why none was taken and whether trying again
// could help. BadInput is the same every time (a number file holding no number, a number past
// the place's range): nothing should be sent. Unavailable is this time only (a lock not had in
// time, a server that does not answer): that chip goes without, the next may get one.
struct SerialTake {
    enum class Failure { None, BadInput, Unavailable };

    std::optional<quint64> number;
    Failure failure = Failure::None;
    QString error; // one line naming the file, or the database and counter

    static SerialTake taken(quint64 number) { return {number, Failure::None, QString()}; }
    static SerialTake failed(Failure failure, QString error) { return {std::nullopt, failure, std::move(error)}; }
};

// Where each chip's serial number comes from. A number is taken (the source moved on, durably)
// before the chip is programmed, so no number is ever given twice, not even after a crash:
// numbers may skip, never repeat. Safe to use from several threads at once.
class SerialSource {
public:
    virtual ~SerialSource() = default;

    // Why the source cannot give a number for the place (bad input), empty when it can. Reads,
    // takes nothing. A source that is only not available just now is no bad input: empty.
    virtual QString check(const SerialPlace& place) = 0;

    // Takes the next number when it fits the place; a number that does not fit is bad input and
    // not taken. stop, when given, ends a wait (nothing is taken).
    virtual SerialTake take(const SerialPlace& place, const StopRequest* stop) = 0;

    // The source as the user named it (without a password), for messages.
    virtual QString describe() const = 0;
};

// How long a taker waits for another to finish with the number file before giving up.
constexpr std::chrono::milliseconds kSerialLockWait{10000};
// A lock file older than this whose owner no longer holds it may be taken over. A lock whose
// owning process has died is taken over at once.
constexpr std::chrono::milliseconds kSerialStaleLockTime{30000};

// The lock file that guards a number file: file + ".lock".
QString serialLockFileName(const QString& file);

// A number file: a text file holding the next free number in decimal (a missing file starts at
// 1). Under a lock that holds across threads and processes, take reads the number, writes
// number + 1 to a temporary file in the same folder, syncs it to the disk and renames it over the
// file, then releases the lock; so the file moves on before the caller programs a chip.
// A file that cannot be read or holds anything but a decimal number (nothing, a negative number,
// other text, binary content) is bad input; a lock not had within kSerialLockWait, or a file that
// cannot be written, leaves the chip unavailable.
class SerialNumberFile : public SerialSource {
public:
    explicit SerialNumberFile(QString path);
    QString check(const SerialPlace& place) override;
    SerialTake take(const SerialPlace& place, const StopRequest* stop) override;
    QString describe() const override { return path_; }

private:
    QString path_;
};

// Takes the next number of the number file for a big-endian place of bytes bytes; nullopt with
// *error saying why none was taken.
std::optional<quint64> takeSerialNumber(const QString& file, int bytes, QString* error,
                                        const StopRequest* stop = nullptr);

} // namespace zelvan
