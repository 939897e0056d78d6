#pragma once

#include "command_context.h"

#include <QString>

namespace zelvan {

// A command addressed to the programmer board itself: one letter, no record, a three-way outcome.
struct BoardCommand {
    char letter;
    QString startText;
    QString doneText;
    QString boxTitle;
};

// "Enter ICP Mode": the board puts the target into in-circuit programming mode.
const BoardCommand& icpModeCommand();
// "LPC Pwr Off": the board switches the target's power off.
const BoardCommand& powerOffCommand();

// Sends the letter, judges the answer on the indicator, and (unless the automation runs) beeps and
// shows the result box. The status line ends with the done text whatever the outcome.
// Returns true when the board acknowledged.
bool runBoardCommand(CommandContext& ctx, const BoardCommand& command);

} // namespace zelvan
