#pragma once

#include "board_model.h"

#include <QString>

namespace zelvan::sim {

// The target of a simulated board kept in a file between runs, so that a run sees the chip the
// last one programmed: its flash, configuration and security bytes, and whether a chip is in the
// socket. The file is JSON and names the board's three id bytes and flash size; a file of another
// part is not loaded.

// Writes the board's target to the file, atomically (a temporary file renamed over it), making
// its folder when missing. False, with the reason, when it cannot.
bool saveChipState(const BoardModel& board, const QString& path, QString* error = nullptr);

// Puts the file's target into the board. False, with the reason and the board unchanged, when the
// file cannot be read, is no state file, or is of another part.
bool loadChipState(BoardModel& board, const QString& path, QString* error = nullptr);

} // namespace zelvan::sim
