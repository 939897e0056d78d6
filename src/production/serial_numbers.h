#pragma once

#include "common/stop_request.h"
#include "device/device_catalogue.h"
#include "firmware/firmware_cache.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <chrono>
#include <optional>

namespace zelvan {

// Where each chip gets its serial number: bytes (1..4) bytes at a flash address, big-endian.
struct SerialPlace {
    quint32 address = 0;
    int bytes = 4;

    bool operator==(const SerialPlace&) const = default;
};

// Reads "ADDR[:BYTES]": ADDR decimal or 0x-prefixed hexadecimal, BYTES 1..4 (4 when left out).
// nullopt with *error saying what is wrong.
std::optional<SerialPlace> parseSerialPlace(QStringView text, QString* error);

// Why the serial number cannot go to that place on this part: outside the flash, or reaching
// into the bootloader area (when the bootloader lies inside the flash). Empty when it fits.
QString serialPlaceProblem(const SerialPlace& place, const DeviceGeometry& geometry);

// How long a taker waits for another to finish with the number file before giving up.
constexpr std::chrono::milliseconds kSerialLockWait{10000};
// A lock file older than this whose owner no longer holds it may be taken over. A lock whose
// owning process has died is taken over at once.
constexpr std::chrono::milliseconds kSerialStaleLockTime{30000};

// The lock file that guards a number file: file + ".lock".
QString serialLockFileName(const QString& file);

// Takes the next serial number from file, a text file holding the next free number in decimal
// (a missing file starts at 1). Under a lock that holds across threads and processes, it reads
// the number, writes number + 1 to a temporary file in the same folder, syncs it to the disk and
// renames it over file, then releases the lock; so a number is never given twice, even when the
// program dies right after (the file moves on before the caller programs a chip). A number that
// does not fit in bytes bytes, a malformed file, or a lock not had within kSerialLockWait takes
// nothing: nullopt with *error saying why.
// stop, when given, ends a wait for the lock (nothing is taken).
std::optional<quint64> takeSerialNumber(const QString& file, int bytes, QString* error,
                                        const StopRequest* stop = nullptr);

// The number as bytes bytes, most significant first (higher bytes of the number are dropped).
QByteArray serialBytes(quint64 number, int bytes);

// Writes the number's bytes into the image at the place's address, as upper-case hex texts. False
// (nothing written) when they do not lie inside the image.
bool laySerialNumber(FirmwareCache& cache, const SerialPlace& place, quint64 number);

} // namespace zelvan
