#pragma once

#include "common/ending.h"
#include "link/link_context.h"

#include <QString>

namespace zelvan {

// A command addressed to the programmer board itself: one letter, no record, a three-way outcome.
struct BoardLetter {
    char letter;
    // "Peripheral ICP Mode": the status line shows it with "..." and ": Done" / ": Error", and it
    // titles the result box.
    QString phrase;
};

// "Enter ICP Mode": the board puts the target into in-circuit programming mode ("P").
const BoardLetter& icpModeLetter();
// "LPC Pwr Off": the board switches the target's power off ("S").
const BoardLetter& powerOffLetter();

// Sends the letter alone (no ":", no checksum, no line end); done when the board acknowledged.
Result sendBoardLetter(LinkContext& ctx, const BoardLetter& command);

} // namespace zelvan
