#pragma once

#include "pty_board_server.h"

#include <QString>

#include <memory>

namespace zelvan::sim {

// The simulated board the programs offer with --simulator: the part behind it, the line paced at
// 57600 baud and the operations taking the time a real part takes, so that a run looks like one.
// Starts it and names its device in ZELVAN_COM1. Nothing, with the reason, when it cannot start.
std::unique_ptr<PtyBoardServer> startDemoBoard(const CatalogueEntry& part, QString* error);

} // namespace zelvan::sim
