#include "demo_board.h"

namespace zelvan::sim {

namespace {

using std::chrono::milliseconds;

// Times of a real part for a page erase, a sector erase, a chip erase and a page program.
const OperationTimes kRealTimes{milliseconds(2), milliseconds(20), milliseconds(100), milliseconds(2)};
constexpr int kDemoBaud = 57600;

} // namespace

std::unique_ptr<PtyBoardServer> startDemoBoard(const CatalogueEntry& part, QString* error) {
    BoardModel board = BoardModel::forPart(part);
    board.times() = kRealTimes;
    auto server = std::make_unique<PtyBoardServer>(std::move(board));
    server->setPacedBaud(kDemoBaud);
    if (!server->start(error))
        return nullptr;
    qputenv("ZELVAN_COM1", server->devicePath().toLocal8Bit());
    return server;
}

} // namespace zelvan::sim
