// zelvan-cli against simulated boards paced at 57600 baud: the time it takes to start and put its
// first byte on the line, "info" and "program" of a 16 KB image on one board against the time
// the line and the target need for the same exchanges, and "program" on 1, 4 and 8 boards at once
// (wall time and CPU time per board). The line time counts every byte in either direction at 10
// bits, the target's own time (4 ms a page, 20 ms a sector erase) and the one-second window of the
// synchronisation, which the protocol imposes.

#include "support/board_rig.h"
#include "support/files.h"

#include "device/device_catalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace zelvan;
using namespace std::chrono_literals;

namespace {

constexpr int kBaud = 57600;
constexpr auto kPageProgram = 4ms;
constexpr auto kSectorErase = 20ms;
constexpr double kSyncWindowSeconds = 1.0;

double cpuSecondsOfChildren() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Measured {
    double wall = 0;
    double line = 0;         // the slowest board's line and target time
    double startToFirst = 0; // seconds from the start of the process to the first byte on a line
    double cpu = 0;          // CPU seconds of the process
};

// Runs zelvan-cli on boards 1..count (fresh LPC936 boards) and measures it.
Measured run(test::BoardRig& rig, int count, const QStringList& args, int pages, int sectors) {
    for (int com = 1; com <= count; ++com) {
        sim::BoardModel board = sim::BoardModel::forPart(*findPartByName(QStringLiteral("LPC936")));
        board.times().pageProgram = kPageProgram;
        board.times().sectorErase = kSectorErase;
        rig.place(com, std::move(board)).setPacedBaud(kBaud);
    }
    QStringList ports;
    for (int com = 1; com <= count; ++com)
        ports.append(QStringLiteral("COM%1").arg(com));
    const double cpuBefore = cpuSecondsOfChildren();
    QProcess process;
    QElapsedTimer clock;
    const qint64 startNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    clock.start();
    process.start(QStringLiteral(ZELVAN_CLI), args + QStringList{"-q", "-p", ports.join(',')});
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        qFatal("zelvan-cli failed: %s", process.readAllStandardError().constData());
    Measured measured;
    measured.wall = clock.nsecsElapsed() / 1e9;
    measured.cpu = cpuSecondsOfChildren() - cpuBefore;
    measured.startToFirst = (rig.board(1).firstByteAtNs() - startNs) / 1e9;
    for (int com = 1; com <= count; ++com) {
        const qint64 bytes = rig.board(com).bytesReceived() + rig.board(com).bytesSent();
        const double line = bytes * 10.0 / kBaud + pages * std::chrono::duration<double>(kPageProgram).count() +
                            sectors * std::chrono::duration<double>(kSectorErase).count() + kSyncWindowSeconds;
        measured.line = std::max(measured.line, line);
    }
    return measured;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString image = dir.filePath("image.hex");
    test::writeRandomHexImage(image, 16384, 936);
    const QStringList program{"program", image, "--no-protect"};

    {
        test::BoardRig rig;
        const Measured info = run(rig, 1, {"info"}, 0, 0);
        std::printf("info, one board: %.3f s; line and sync window %.3f s; ratio %.4f; start to first byte %.1f ms "
                    "(target < 50 ms)\n",
                    info.wall, info.line, info.wall / info.line, info.startToFirst * 1000);
    }
    double oneBoard = 0;
    for (const int boards : {1, 4, 8}) {
        test::BoardRig rig;
        const Measured measured = run(rig, boards, program, 256, 8);
        if (boards == 1)
            oneBoard = measured.wall;
        std::printf("program 16 KB, %d board(s): %.3f s; line and target %.3f s; ratio to the line %.4f (target "
                    "<= 1.03); to one board %.3f (target <= 1.10); CPU %.3f s per board\n",
                    boards, measured.wall, measured.line, measured.wall / measured.line, measured.wall / oneBoard,
                    measured.cpu / boards);
    }
    return 0;
}
