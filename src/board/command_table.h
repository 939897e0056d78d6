#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace zelvan {

// Every command of the program, whichever front end offers it: the command line's commands (in the
// order of its help), the window's buttons and menu entries, the automation keywords.
enum class Command {
    Ports,
    GetID,
    ICP,
    OFF,
    EraseChip,
    ErasePage,
    EraseSector,
    GetGlobalCRC,
    GetSectorCRC,
    Calibrate,
    ProgramFirmware,
    VerifyFirmware,
    ConfigGet,
    ConfigSet,
    SecurityGet,
    SecuritySet,
    CCP,
    AutoProcedure,
    Records,
    RecordsFlush,
    Version,
    StatusByte,
    SetBootVector,
    UCFG1,
    UCFG2,
    ProgramSecurity,
    AutoConnect,
    ClearFirmware,
    LoadFirmware,
    SaveGolden,
    CompareGolden,
};

inline constexpr int kCommandCount = static_cast<int>(Command::CompareGolden) + 1;

// Where the window offers a command.
enum class WindowPlace { None, Button, VerifyMenu };

// When the window makes a command available: each stage of the work opens the next commands.
enum class Availability {
    Never,          // not a command of the window
    Always,         // from the start
    Searching,      // once Auto Connect has started
    Synchronised,   // once a board answered the synchronisation
    VersionRead,    // once the loader version was read
    Identified,     // once a part answered the identification
    FirmwareLoaded, // once firmware is loaded (until it is cleared)
    AutomationFile, // once an automation file is chosen
};

struct CommandResult;
struct CommandCall;
// The operation a command runs on a board; every front end calls the same one.
using CommandOperation = CommandResult (*)(CommandCall& call);

// One command: how each front end names it, what it needs, and what it runs.
struct CommandRow {
    Command command;
    const char* objectName; // the window's control: "cmdICP", "mnuVerifyFirmware"
    const char* caption;    // the window's caption: "Enter ICP Mode"
    WindowPlace place;
    Availability availability;
    const char* cliWords;    // the command line's words: "erase pages"; nullptr: not offered there
    const char* cliSynopsis; // its arguments in the help: "[A[-B]]"
    const char* keyword;     // the automation keyword: "epage"; nullptr: none
    bool needsPart;          // works on the identified part's pages, sectors or firmware
    bool stoppable;          // works through many units and looks for a stop request between them
    const char* phrase;      // the status line's phrase: "Erasing Device Pages"; nullptr: none
    int configAddress;       // the configuration byte a configuration command works on; -1: none
    CommandOperation operation;
    const char* tip;     // the window's tip: what it does and which records it sends
    const char* cliHelp; // the command line's help line
    // Erases, writes or verifies the flash: refused on a part whose layout the catalogue lacks.
    bool needsLayout = false;
};

std::span<const CommandRow> commandTable();
const CommandRow& commandRow(Command command);
// The row whose command line words are words ("erase pages"), or whose keyword is keyword ("pon").
const CommandRow* commandByWords(const QString& words);
const CommandRow* commandByKeyword(const QString& keyword);
// The automation keywords of the commands, for reading automation files.
QStringList commandKeywords();
// The command line's words of every command it offers, in the table's order.
QStringList cliCommandWords();

// The window's caption of a command, as QString.
inline QString captionOf(Command command) {
    return QString::fromLatin1(commandRow(command).caption);
}

} // namespace zelvan
