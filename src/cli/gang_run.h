#pragma once

#include "board_job.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace zelvan::cli {

// A command on several boards at once: one board job per port, each on a thread of its own with
// its own link and waits, so that a slow, silent or failing board delays no other.
class GangRun {
public:
    // optional: "-p all", where a port without a board is left out instead of failing.
    GangRun(const RunSetup& setup, Console& console, const QStringList& ports, bool optional);
    ~GangRun();

    // Runs every job and returns when all have ended; the results in the order of the ports.
    QList<JobResult> run();
    // Interrupts every job (from the main thread, on a signal).
    void interrupt(int status);

private:
    QList<std::shared_ptr<BoardJob>> jobs_;
};

// The closing table of a run on several boards: port, part, result, time, CRCs verified.
QStringList gangTable(const QList<JobResult>& results);

// The exit status of a run on several boards: 0 when every board is done, 3 when the only
// failures are verify failures, the signal's status when interrupted, 1 otherwise.
int gangExitStatus(const QList<JobResult>& results);

} // namespace zelvan::cli
