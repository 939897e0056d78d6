#pragma once

#include "board/command_call.h"
#include "board/command_table.h"
#include "flash/configuration.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zelvan::cli {

struct CliOptions {
    QStringList ports;                    // -p: COMn or device paths; empty: search COM1..COM8
    int boards = 0;                       // --boards N: the run starts only when N boards answer
    bool baud9600 = false;                // -b 9600
    std::optional<QString> simulatorPart; // --simulator[=PART]
    bool simulatorReset = false;          // --simulator-reset: a new chip instead of the one kept
    bool quick = false;
    EraseMode erase = EraseMode::Used;
    bool truncate = false;    // program what fits of files that reach beyond the part's flash
    bool changedOnly = false; // program: only the sectors whose CRC differs from the image's
    bool noProtect = false;
    int verbosity = 0; // -v: the wire log; -vv: with the timing of each exchange
    QString wireLog;
    bool json = false;
    bool quiet = false;
    QStringList hexFiles; // run --hex
    bool verify = false;  // program --verify (also set by --golden)
    QString golden;       // --golden FILE: compare with saved CRCs instead of the image's
    QString saveGolden;   // crc sectors --save FILE
    QString crcVariant;   // --crc-variant NAME
    QString serialPlace;  // --serial ADDR[:BYTES]
    QString serialFile;   // --serial-file FILE
    QStringList records;  // --record DESTINATION (repeatable)
    QString part;         // station --part NAME: the part the station expects

    // "-p all": every COM whose board answers.
    bool allPorts() const { return ports.size() == 1 && ports[0] == QLatin1String("all"); }
};

// What zelvan-cli was asked to do.
struct CliRequest {
    enum class Action { RunCommand, Help, Version };
    Action action = Action::RunCommand;
    Command command = Command::GetID;
    QString commandText;  // the command as typed ("erase pages"), for messages
    bool station = false; // "station program ...": a loop that programs every chip put in
    UnitChoice range;     // "A", "A-B" or nothing (the whole part, up to the bootloader while it is protected)
    QStringList files;    // program, verify, calibrate: HEX files; run: the automation file
    const ConfigByte* configByte = nullptr; // config get/set
    std::optional<int> sector;              // security get/set
    QString value;                          // config set / security set, normalised to two hex digits
    CliOptions options;
};

// Reads the arguments (without the program name). Options may stand anywhere; "--" ends them.
// Returns the request, or the reason the command line is not usable (exit status 2).
struct ParsedCommandLine {
    std::optional<CliRequest> request;
    QString error;
};
ParsedCommandLine parseCommandLine(const QStringList& arguments);

// Reads "A" or "A-B" (indexes, or addresses written 0x...). Nothing for a malformed range.
std::optional<UnitChoice> parseRange(const QString& text);

// The --help text: usage, commands (from the command table), options, exit status.
QString helpText();

} // namespace zelvan::cli
