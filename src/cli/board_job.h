#pragma once

#include "console.h"
#include "exit_status.h"
#include "run_setup.h"

#include "board/board.h"
#include "board/board_group.h"
#include "production/chip_record.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>

#include <atomic>
#include <optional>

namespace zelvan::cli {

// What one command did on one board.
struct JobResult {
    int status = kNotDone;
    bool absent = false; // "-p all": no board on this port, so it takes no part in the run
    QString port;        // as the user named it, or the COMn the search found
    QString device;      // the device behind it
    QString error;       // why it failed, one line (empty when done)
    QString undone;      // when interrupted: what was left undone
    QJsonObject fields;  // the command's results, for --json
    qint64 milliseconds = 0;
    QString part;         // the part's name, once identified
    int crcsVerified = 0; // CRCs compared by a verify
    std::optional<quint64> serialNumber;
};

// Runs one command on one board: opens the port (or searches COM1..COM8), synchronises, reads the
// loader version, identifies the part when the command needs it, runs the command's operation of
// the command table and reports it. Everything runs on the thread that calls run(), with a board
// of its own; interrupt() may be called from any thread.
class BoardJob {
public:
    // portName: "COM3", a device path, or empty to search COM1..COM8. prefix goes in front of
    // every line this board prints ("COM3: " when several boards run).
    BoardJob(const RunSetup& setup, Console& console, QString portName, QString prefix);

    JobResult run();

    // Ends the running command at once (the wait in progress ends, the port is closed); the job
    // then reports what was left undone and the given exit status.
    void interrupt(int status);

    // "-p all": a port with no board (nothing there, or no "U" back) is left out of the run
    // instead of failing it; a board that answers the synchronisation takes part, failures and all.
    void setOptional(bool optional) { optional_ = optional; }
    // The gate the boards of the run start through (--boards).
    void setStartGate(StartGate* gate) { gate_ = gate; }
    // This board's place among the boards that take serial numbers in port order.
    void setSerialTurn(SerialTurns* turns, int index) {
        turns_ = turns;
        turn_ = index;
    }

    // The work of one run, with the board it owns (board_job.cpp).
    struct Run;

private:
    bool connect(Run& run);
    // Identifies the part and checks it and the files for the command; the exit status of what
    // went wrong, or kDone.
    int identify(Run& run);
    int runCommand(Run& run);
    QString undoneText(const Run& run) const;

    const RunSetup& setup_;
    Console& console_;
    QString portName_;
    QString prefix_;
    std::atomic<int> interruptedWith_{0};
    bool optional_ = false;
    StartGate* gate_ = nullptr;
    SerialTurns* turns_ = nullptr;
    int turn_ = 0;
    QMutex boardMutex_;
    Board* board_ = nullptr;
};

// The request of the run's command for a board: the arguments and options, the files laid out for
// its part, and where its serial number comes from.
CommandRequest commandRequest(const RunSetup& setup, const FirmwareCache* image, const SerialNumbering* serial);

// Writes the chip's record where --record asks, with what only the command line knows of it.
void storeRecord(const RunSetup& setup, Console& console, ChipRecord record, const JobResult& result);

} // namespace zelvan::cli
