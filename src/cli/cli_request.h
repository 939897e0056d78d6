#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace zelvan::cli {

// One end of a range as the user wrote it: an index (0, 1, ...) or an address (0x0400).
struct RangeBound {
    bool isAddress = false;
    int value = 0;
};

// "A", "A-B" or nothing (the whole part, up to the bootloader while it is protected).
struct RangeArgument {
    std::optional<RangeBound> first;
    std::optional<RangeBound> last;
};

enum class EraseMode { Used, Chip, None };

struct CliOptions {
    QStringList ports;                    // -p: COMn or device paths; empty: search COM1..COM8
    bool baud9600 = false;                // -b 9600
    std::optional<QString> simulatorPart; // --simulator[=PART]
    bool quick = false;
    EraseMode erase = EraseMode::Used;
    bool noProtect = false;
    bool verbose = false;
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

    // "-p all": every COM whose board answers.
    bool allPorts() const { return ports.size() == 1 && ports[0] == QLatin1String("all"); }
};

enum class CommandKind {
    Ports,
    Info,
    Icp,
    Off,
    EraseChip,
    ErasePages,
    EraseSectors,
    CrcGlobal,
    CrcSectors,
    Program,
    ConfigGet,
    ConfigSet,
    SecurityGet,
    SecuritySet,
    Ccp,
    Run,
    Verify,
    CrcCalibrate,
};

// What zelvan-cli was asked to do.
struct CliRequest {
    enum class Action { RunCommand, Help, Version };
    Action action = Action::RunCommand;
    CommandKind kind = CommandKind::Info;
    QString commandText; // the command as typed ("erase pages"), for messages
    RangeArgument range;
    QStringList files;  // program: HEX files; run: the automation file
    QString configName; // config get/set: ucfg1, ucfg2, bootv, status
    std::optional<int> sector;
    QString value; // config set / security set, normalised to two hex digits
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
std::optional<RangeArgument> parseRange(const QString& text);

// The --help text: usage, commands, options, exit status.
QString helpText();

} // namespace zelvan::cli
