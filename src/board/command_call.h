#pragma once

#include "board.h"
#include "chip_programming.h"
#include "command_table.h"

#include "automation/automation_run.h"
#include "common/questions.h"
#include "flash/configuration.h"
#include "flash/crc_readback.h"
#include "flash/erasing.h"

#include <QList>
#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace zelvan {

class AutomationFace;

// One end of a range as a person wrote it: a unit's index (0, 1, ...) or its first address.
struct UnitBound {
    bool isAddress = false;
    int value = 0;
};

// Units named by their bounds, "A" or "A-B"; no bounds: every unit of the part.
struct UnitChoice {
    std::optional<UnitBound> first;
    std::optional<UnitBound> last;
};

// The units a choice names on a part with units of unitSize bytes, unitCount of them: indexes as
// they stand, addresses divided by the unit size (they must be a unit's first address). Nothing,
// with the reason, for units the part does not have.
std::optional<UnitRange> resolveUnits(const UnitChoice& choice, int unitSize, int unitCount, QString* error);

// What a command works on, as its front end gathered it: the window from its lists, cache and
// boxes, the command line from its arguments, an automation run from its face.
struct CommandRequest {
    UnitRange range;                        // the pages or sectors chosen; empty: none chosen
    std::optional<UnitChoice> units;        // or the pages or sectors named by their bounds
    ProgramRequest program;                 // program, verify, calibrate: the image, and how to program and verify it
    const ConfigByte* configByte = nullptr; // the configuration byte a command reads or writes
    std::optional<int> sector;              // security get/set: one sector (get: every sector without)
    QString value;                          // config set, security set: the value, two hex digits
    QString path;                           // save golden: the file the CRCs go to
    const AutomationScript* script = nullptr;
    AutomationFace* automation = nullptr; // what an automation run asks of its front end
};

// Security bytes read, by sector.
struct SecurityReading : Result {
    QList<std::pair<int, QString>> values;
};

// How a command ended and what it did: the result of the operation it ran.
struct CommandResult {
    using Value = std::variant<Result, ValueReading, ChipEraseResult, RangeEraseResult, SectorCrcReading, ConfigEdit,
                               SecurityWalk, SecurityReading, Identification, Connection, ChipProgramming, Verification,
                               GoldenReading, Calibration, AutomationResult>;
    Value value;

    template <typename T>
    CommandResult(T result)
        : value(std::move(result)) {}

    const Result& base() const {
        return std::visit([](const auto& result) -> const Result& { return result; }, value);
    }
    Ending ending() const { return base().ending; }
    bool done() const { return base().done(); }
    template <typename T> const T* as() const { return std::get_if<T>(&value); }
};

// One call of a command's operation: the board, where its progress goes, who answers its
// questions, and what it works on.
struct CommandCall {
    Board& board;
    Progress& progress;
    Questions& questions;
    const CommandRequest& request;
};

// Runs the command's operation (which must have one). A command that needs a part and has none is
// refused without anything sent.
CommandResult runCommand(Command command, CommandCall& call);

} // namespace zelvan
