#pragma once

#include "console.h"
#include "run_setup.h"

namespace zelvan::cli {

// "ports": for COM1..COM8, the device behind it, whether it opens (or why not, with the
// permission hint) and whether a programmer board answers the synchronisation and the version
// request. Prints one line per port (or one JSON object); returns the exit status (0).
int listPorts(const RunSetup& setup, Console& console);

} // namespace zelvan::cli
