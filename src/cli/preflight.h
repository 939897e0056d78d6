#pragma once

#include "cli_request.h"

#include <QString>

namespace zelvan::cli {

// Everything that can be checked before the board is touched: the input files are read and
// checked whole, and a command that needs an option's permission has it. Returns why the command
// cannot run (exit status 2, nothing sent); empty when it can.
QString preflight(const CliRequest& request);

} // namespace zelvan::cli
