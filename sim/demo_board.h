#pragma once

#include "pty_board_server.h"

#include <QString>

#include <memory>

namespace zelvan::sim {

struct DemoBoardOptions {
    // The file that keeps the chip between runs: loaded at start when it holds a chip of this
    // part, written when the board stops. Empty: nothing is kept.
    QString statePath;
    // Start with a new chip, whatever the file holds (it is still written at the stop).
    bool reset = false;
};

// The simulated board the programs offer with --simulator: the part behind it, the line paced at
// 57600 baud and the operations taking the time a real part takes, so that a run looks like one.
// Starts it and names its device in ZELVAN_COM1. Nothing, with the reason, when it cannot start.
std::unique_ptr<PtyBoardServer> startDemoBoard(const CatalogueEntry& part, const DemoBoardOptions& options,
                                               QString* error);

// Where the chip of a part is kept between runs: simulator-<PART>.state in the user's cache, under
// zelvan-programmer.
QString defaultDemoStatePath(const CatalogueEntry& part);

} // namespace zelvan::sim
