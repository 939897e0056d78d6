#pragma once

#include "board_job.h"
#include "signal_watch.h"

namespace zelvan::cli {

// Runs the command on the boards the options name and reports it: on one board (the port given,
// or the one the search finds) on this thread; on several (a list, or "-p all") one board job per
// port, each on a thread of its own with its own link and waits, so that a slow, silent or failing
// board delays no other, then a closing table. A signal interrupts every board. Returns the exit
// status of the whole run.
int runOnBoards(const RunSetup& setup, Console& console, SignalWatch& stopSignals);

// Whether at least the boards --boards asks for answered at the start gate; when not, says so
// (naming the ports that answered) and the run ends with exit status 4, nothing written.
bool enoughBoards(const StartGate& gate, const CliRequest& request, Console& console);

// The closing table of a run on several boards: port, part, result, time, CRCs verified.
QStringList gangTable(const QList<JobResult>& results);

// The exit status of a run on several boards: 0 when every board is done, 3 when the only
// failures are verify failures, the signal's status when interrupted, 4 when no board answered,
// 1 otherwise.
int gangExitStatus(const QList<JobResult>& results);

} // namespace zelvan::cli
