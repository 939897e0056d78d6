#pragma once

#include "command_call.h"

#include "firmware/firmware_loading.h"

#include <QString>

#include <chrono>
#include <optional>

namespace zelvan {

// How often an empty socket (or a chip that is done) is looked at: twice a second at most.
constexpr std::chrono::milliseconds kStationPoll{500};

// One chip a station took in.
struct StationChip {
    int number = 0;           // 1 for the first chip on this board
    std::optional<Part> part; // what it identified as
    bool passed = false;
    QString reason; // why it failed
    std::optional<quint64> serialNumber;
    qint64 milliseconds = 0; // from the chip answering to its result
};

// What a station asks of its front end, and tells it, as the chips come and go.
class StationFace {
public:
    virtual ~StationFace() = default;
    // What the command works on for a chip (the files laid out for its part, the options).
    virtual CommandRequest requestFor(const FirmwareCache* image) = 0;
    // The socket is empty, or holds the chip just done: the station waits for the next one.
    virtual void waiting(bool forRemoval) = 0;
    virtual void chipStarted(int number) = 0;
    // A chip ended: passed or failed, with the command's result (nothing ran for a chip refused
    // before: another part than the one asked for).
    virtual void chipEnded(const StationChip& chip, const std::optional<CommandResult>& result) = 0;
};

// What a station does to each chip.
struct StationWork {
    Command command = Command::ProgramFirmware;
    const HexFiles* files = nullptr;
    bool truncate = false;             // take what fits of files that reach beyond the part's flash
    std::optional<QString> wantedPart; // a chip of another part fails with nothing written
};

// Programs every chip put into the board's socket, one after the other: waits (sleeping, looking
// every kStationPoll) until a target answers the identification with other ids than FF, runs the
// command on it, then waits until the socket is empty again before it waits for the next chip, so
// a chip left in after a failure is not programmed again. A chip of another part than the one
// wanted, or one the part check refuses (fitToPart), fails with nothing written. Ends when the
// user stops it (Interrupted) or the board stops answering (Unanswered: the board is lost).
Result runStation(Board& board, Progress& progress, StationFace& face, const StationWork& work);

} // namespace zelvan
