// Programming a full 16 KB image into the 16 KB / 64-byte-page part through the simulated board
// paced at 57600 baud with 4 ms per page, in text and in quick mode. The figure is the measured
// time over the time the line and the target need: every byte on the line in either direction
// at 10 bits, plus 4 ms for each of the 256 pages. The board answers a record after it has
// received it whole, so the two directions follow one another.

#include "support/board_rig.h"
#include "support/fake_dialogs.h"

#include "firmware/programming.h"
#include "session/session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>

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
    QCoreApplication app(argc, argv);
    const CatalogueEntry& part = *findPartByName(QStringLiteral("LPC936"));
    test::BoardRig rig;
    sim::BoardModel board = sim::BoardModel::forPart(part);
    board.times().pageProgram = kPageProgram;
    sim::PtyBoardServer& server = rig.place(1, std::move(board));
    server.setPacedBaud(kBaud);

    test::FakeDialogs dialogs;
    Session session(dialogs);
    session.link().OpenComPort(1);
    const FirmwareCache image = fullImage(part.geometry.intFlashLastAddr);
    const int pages = part.geometry.pageCount();

    std::printf("Programming %d bytes (%d pages of %d) at %d baud, %lld ms per page:\n", part.geometry.flashSize(),
                pages, part.geometry.intPageSize, kBaud, static_cast<long long>(kPageProgram.count()));
    for (const bool quick : {false, true}) {
        QuietDialogs quiet(dialogs);
        StopRequest stop;
        CommandContext ctx{session.link(), session, quiet, stop};
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
    return 0;
}
