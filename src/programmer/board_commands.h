#pragma once

#include "command_context.h"

#include <QString>

namespace zelvan {

// A command addressed to the programmer board itself: one letter, no record, a three-way outcome.
struct BoardCommand {
    char letter;
    // "Peripheral ICP Mode": the status line shows it with "..." and ": Done" / ": Error", and it
    // titles the result box.
    QString phrase;
};

// "Enter ICP Mode": the board puts the target into in-circuit programming mode ("P").
const BoardCommand& icpModeCommand();
// "LPC Pwr Off": the board switches the target's power off ("S").
const BoardCommand& powerOffCommand();

// Sends the letter, shows the outcome on the indicator and in the result box, and closes the
// status line with ": Done" or ": Error". Returns true when the board acknowledged.
bool runBoardCommand(CommandContext& ctx, const BoardCommand& command);

} // namespace zelvan
