#pragma once

#include "console.h"
#include "run_setup.h"
#include "signal_watch.h"

namespace zelvan::cli {

// "station program FILE.hex...": on each board (one, a list, or -p all; with --boards N only when N
// boards answer, else 4 before anything is written), a loop that programs every chip put in: waits
// for a chip, programs it, shows PASS or FAIL, waits for it to be taken out. On a terminal a live
// line per board (state, chips passed and failed, last serial number, last cycle time); in a pipe a
// line per chip; with --json an object per chip. Every chip gets its record. Runs until a signal
// stops it (then the totals per board, and 130 or 143) or every board is lost (1); no board at all is 4.
int runStation(const RunSetup& setup, Console& console, SignalWatch& stopSignals);

} // namespace zelvan::cli
