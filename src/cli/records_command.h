#pragma once

#include "console.h"
#include "run_setup.h"

namespace zelvan::cli {

// "records" and "records flush": for each --record destination, what its spool holds (how many
// chip records wait, since when), or the spool sent on. Returns the exit status: 0, or 1 when a
// spool could not be sent, 2 without a destination.
int runRecordsCommand(const RunSetup& setup, Console& console);

} // namespace zelvan::cli
