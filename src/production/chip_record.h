#pragma once

#include "common/version.h"
#include "verification.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <array>
#include <map>
#include <optional>

namespace zelvan {

// How the flash compared with the image after programming.
enum class VerifyResult { NotVerified, Passed, Failed };

// "not verified", "passed", "verify failed".
QString verifyResultText(VerifyResult result);

// A file a run used (a HEX file), named by its path and its content's SHA-256 (lower-case hex).
struct RecordedFile {
    QString path;
    QString sha256;

    bool operator==(const RecordedFile&) const = default;
};

// The file at path with its SHA-256; sha256 stays empty when the file cannot be read.
RecordedFile recordedFile(const QString& path);

// What one command did to one chip: written once per board and command, when the board is done.
struct ChipRecord {
    QString id = newChipRecordId();       // unique; lets a record sent twice (after a crash) be stored once
    QDateTime time;                       // when the command started, UTC
    QString command;                      // "program", "verify", "run", ...
    QString programVersion = kAppVersion; // the version of this program that did it
    QString host;                         // the machine that ran it
    QString port;                         // "COM1"
    QString device;                       // the device behind the port, "/dev/ttyUSB0"
    QString loaderVersion;                // the board's loader version text
    QString partName;                     // "LPC932A1"
    std::array<quint8, 3> ids{};          // manufacturer, device id 1, device id 2
    QList<RecordedFile> files;
    std::optional<quint64> serialNumber;
    std::optional<quint32> serialAddress;  // the flash address the number was written to
    int serialBytes = 0;                   // how many bytes it took there
    QString serialFormat;                  // how it was written: empty, "be", "le", "bcd" or "ascii"
    bool serialVoid = false;               // the number was taken but the chip failed, so no chip carries it
    std::optional<int> sectorsSent;        // program: the sectors sent (only those that changed are)
    std::optional<int> sectorsUnchanged;   // program: the sectors left as they were
    std::map<int, RecordedCrc> sectorCrcs; // by sector index
    RecordedCrc globalCrc;
    VerifyResult verify = VerifyResult::NotVerified;
    int exitStatus = 0;
    QString error; // why the command failed, as the command line said it (empty when done)
    qint64 durationMs = 0;

    static QString newChipRecordId();
    bool operator==(const ChipRecord&) const = default;
};

// The record as one JSON object. Its keys are the column names of the database table: id, time
// (ISO 8601 UTC with milliseconds), command, program_version, host, port, device, loader_version,
// part, ids ("15 DD 1F"), files ([{path, sha256}]), serial_number, serial_address, serial_bytes,
// serial_format, serial_void, crcs ({sectors: [{sector, read, expected}], global: {read,
// expected}}, CRCs as 8 upper-case hex digits or null), sectors_sent, sectors_unchanged, verify,
// exit_status, error, duration_ms. A value that is not set is null.
QJsonObject toJson(const ChipRecord& record);

// The record toJson made; nullopt with *error naming the first key that is missing or wrong.
// Records of the previous version, without command, program_version, serial_address,
// serial_bytes, serial_format, sectors_sent and sectors_unchanged, are read too (those stay unset
// and programVersion empty), so that a spool it left is still sent.
std::optional<ChipRecord> chipRecordFromJson(const QJsonObject& json, QString* error);

} // namespace zelvan
