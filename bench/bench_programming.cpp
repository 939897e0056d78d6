// Programming a full 16 KB image into the 16 KB / 64-byte-page part through the simulated board
// paced at 57600 baud with 4 ms per page, in text and in quick mode. The figure is the measured
// time over the time the line and the target need: every byte on the line in either direction
// at 10 bits, plus 4 ms for each of the 256 pages. The board answers a record after it has
// received it whole, so the two directions follow one another.
//
// With --link-log the run is made with the window's Link Log open: the wire log is on, and every
// line goes through the message handler and the batched view as in the window (on the offscreen
// platform when there is no display).

#include "support/board_rig.h"
#include "support/fake_dialogs.h"

#include "app/link_capture.h"
#include "app/link_log_dock.h"
#include "firmware/programming.h"
#include "link/wire_log.h"
#include "session/session.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <memory>

using namespace zelvan;
using namespace std::chrono_literals;

namespace {

constexpr int kBaud = 57600;
constexpr auto kPageProgram = 4ms;

FirmwareCache fullImage(int flashLast) {
    FirmwareCache cache;
    cache.recreate(flashLast);
    QRandomGenerator random(932);
    for (int address = 0; address <= flashLast; ++address) {
        const QByteArray text = QByteArray::number(random.bounded(1, 256), 16).rightJustified(2, '0').toUpper();
        cache.setByteText(address, text);
    }
    return cache;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool linkLog = argc > 1 && std::strcmp(argv[1], "--link-log") == 0;
    if (linkLog && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY") &&
        !qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app =
        linkLog ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    const CatalogueEntry& part = *findPartByName(QStringLiteral("LPC936"));
    test::BoardRig rig;
    sim::BoardModel board = sim::BoardModel::forPart(part);
    board.times().pageProgram = kPageProgram;
    sim::PtyBoardServer& server = rig.place(1, std::move(board));
    server.setPacedBaud(kBaud);

    test::FakeDialogs dialogs;
    Session session(dialogs);
    session.link().OpenComPort(1);
    std::unique_ptr<LinkLogDock> log;
    if (linkLog) {
        log = std::make_unique<LinkLogDock>(dialogs);
        log->show();
        if (!log->toggleViewAction()->isChecked() || !lcWire().isDebugEnabled())
            qFatal("the link log did not start capturing");
    }
    const FirmwareCache image = fullImage(part.geometry.intFlashLastAddr);
    const int pages = part.geometry.pageCount();

    std::printf("Programming %d bytes (%d pages of %d) at %d baud, %lld ms per page%s:\n", part.geometry.flashSize(),
                pages, part.geometry.intPageSize, kBaud, static_cast<long long>(kPageProgram.count()),
                linkLog ? ", Link Log open" : "");
    for (const bool quick : {false, true}) {
        LinkContext ctx = session.board().context(session);
        const qint64 outBefore = session.link().bytesWrittenTotal();
        const qint64 inBefore = session.link().bytesReadTotal();
        QElapsedTimer clock;
        clock.start();
        // The whole flash, the bootloader's pages too.
        const bool ok = programFirmware(ctx, image, part.geometry, quick, false).done();
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (!ok)
            qFatal("programming failed");
        const qint64 out = session.link().bytesWrittenTotal() - outBefore;
        const qint64 in = session.link().bytesReadTotal() - inBefore;
        const double lineSeconds =
            (out + in) * 10.0 / kBaud + pages * std::chrono::duration<double>(kPageProgram).count();
        std::printf("  %-10s %6.3f s; line and target need %6.3f s (%lld bytes out, %lld in); ratio %.4f "
                    "(target <= 1.03)\n",
                    quick ? "quick mode" : "text mode", seconds, lineSeconds, static_cast<long long>(out),
                    static_cast<long long>(in), seconds / lineSeconds);
        const bool flashMatches =
            server.withBoard([&](sim::BoardModel& b) { return b.flash() == QByteArray::fromHex(image.imageText()); });
        if (!flashMatches)
            qFatal("the flash does not hold the image");
    }
    if (log) {
        // The last lines wait for the view's next batch.
        QThread::msleep(2 * LinkCapture::kFlushInterval.count());
        QCoreApplication::processEvents();
        std::printf("  Link Log: %lld lines\n", static_cast<long long>(log->text().count('\n') + 1));
    }
    return 0;
}
