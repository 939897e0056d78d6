#pragma once

#include "command_call.h"

#include "production/chip_record.h"

namespace zelvan {

// The record of what a command did to the chip on the board: the command, the port and device, the
// loader version, the part and its ids, and what the result tells of the serial number, the CRCs
// and the verify. The caller adds what only it knows: the host, the files, the exit status and
// the error as it reported them, the time it took.
ChipRecord chipRecordOf(const Board& board, Command command, const CommandRequest& request,
                        const CommandResult& result);

} // namespace zelvan
