#include "demo_board.h"

#include "chip_state.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace zelvan::sim {

namespace {

using std::chrono::milliseconds;

// Times of a real part for a page erase, a sector erase, a chip erase and a page program.
const OperationTimes kRealTimes{milliseconds(2), milliseconds(20), milliseconds(100), milliseconds(2)};
constexpr int kDemoBaud = 57600;

} // namespace

std::unique_ptr<PtyBoardServer> startDemoBoard(const CatalogueEntry& part, const DemoBoardOptions& options,
                                               QString* error) {
    BoardModel board = BoardModel::forPart(part);
    board.times() = kRealTimes;
    // A file that is missing, unreadable or of another part leaves the new chip: the demo starts
    // either way, and the stop writes this part's chip over it.
    if (!options.statePath.isEmpty() && !options.reset && QFileInfo::exists(options.statePath))
        loadChipState(board, options.statePath);
    auto server = std::make_unique<PtyBoardServer>(std::move(board));
    server->setPacedBaud(kDemoBaud);
    if (!options.statePath.isEmpty()) {
        server->setOnStopped([path = options.statePath](const BoardModel& stopped) {
            QString reason;
            if (!saveChipState(stopped, path, &reason))
                qWarning("The simulated chip was not kept: %s", qPrintable(reason));
        });
    }
    if (!server->start(error))
        return nullptr;
    qputenv("ZELVAN_COM1", server->devicePath().toLocal8Bit());
    return server;
}


QString defaultDemoStatePath(const CatalogueEntry& part) {
    // Shared entries are named "LPC922/9221": the slash would make a folder of the name.
    QString name = part.partName();
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/zelvan-programmer/simulator-%1.state").arg(name);
}

} // namespace zelvan::sim
