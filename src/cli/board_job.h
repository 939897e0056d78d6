#pragma once

#include "cli_request.h"
#include "console.h"
#include "exit_status.h"
#include "production_setup.h"
#include "progress_report.h"
#include "terminal_front.h"

#include "common/stop_request.h"
#include "device/device_catalogue.h"
#include "device/identification.h"
#include "firmware/firmware_cache.h"
#include "flash/crc_readback.h"
#include "production/chip_record.h"
#include "programmer/command_context.h"

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QStringList>

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
};

// Runs one command on one board: opens the port (or searches COM1..COM8), synchronises, reads
// the loader version, identifies the part when the command needs it, and carries the command out
// through the same procedures the window uses. Everything runs on the thread that calls run(),
// with a link of its own; interrupt() may be called from any thread.
class BoardJob {
public:
    // portName: "COM3", a device path, or empty to search COM1..COM8. prefix goes in front of
    // every line this board prints ("COM3: " when several boards run).
    BoardJob(const CliRequest& request, const ProductionSetup& production, Console& console, QString portName,
             QString prefix);

    JobResult run();

    // Ends the running command at once (the wait in progress ends, the port is closed); the job
    // then reports what was left undone and the given exit status.
    void interrupt(int status);

    // The work of one run, with the link it owns (board_job_run.h).
    struct Run;

    // "-p all": a port with no board (nothing there, or no "U" back) is left out of the run
    // instead of failing it; a board that answers the synchronisation takes part, failures and all.
    void setOptional(bool optional) { optional_ = optional; }

private:
    bool connect(Run& run);
    bool identify(Run& run);
    int dispatch(Run& run);
    QString undoneText(const Run& run) const;

    // The commands; each returns the exit status and fills the result.
    int info(Run& run);
    int boardLetter(Run& run);
    int eraseChipCommand(Run& run);
    int eraseRangeCommand(Run& run);
    int crcGlobal(Run& run);
    int crcSectors(Run& run);
    int program(Run& run);
    int configGet(Run& run);
    int configSet(Run& run);
    int securityGet(Run& run);
    int securitySet(Run& run);
    int clearProtection(Run& run);
    int automation(Run& run);
    int verifyCommand(Run& run);
    int calibrate(Run& run);
    // Production steps of program and verify: the serial number, then the verify.
    int takeSerialNumber(Run& run, FirmwareCache& cache);
    int verifyImage(Run& run, const FirmwareCache& cache, bool untouchedErased);
    // crc sectors --save: every sector's CRC and the global one, kept as golden CRCs.
    int saveGolden(Run& run);
    // Loads the files of the command for the identified part (and refuses golden CRCs of another).
    bool loadImage(Run& run, FirmwareCache& cache);
    // The record of this board and command, when --record asks for one.
    void writeRecord(Run& run);

    // Fails the command: the reason, with the last thing the procedure said when there is one.
    int fail(Run& run, int status, const QString& reason);
    // Fails the command for a reason of its own (a verify, an argument): nothing else is added.
    int failPlainly(Run& run, int status, const QString& reason);

    const CliRequest& request_;
    const ProductionSetup& production_;
    Console& console_;
    QString portName_;
    QString prefix_;
    StopRequest stop_;
    std::atomic<int> interruptedWith_{0};
    bool optional_ = false;
    QMutex linkMutex_;
    IspLink* link_ = nullptr;
};

} // namespace zelvan::cli
