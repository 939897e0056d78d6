// Measures the cost of the link itself: (a) the mean time of one ISP exchange through QSerialPort
// and a pseudo-terminal against a simulated board that answers at once, and (b) the CPU time the
// program spends during one full answer wait on a silent board.

#include "device/device_catalogue.h"
#include "link/isp_link.h"
#include "sim/pty_board_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace zelvan;
using namespace std::chrono_literals;

namespace {

double cpuMilliseconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

std::unique_ptr<sim::PtyBoardServer> startBoard(bool silent) {
    sim::BoardModel board = sim::BoardModel::forPart(*findPartByName(QStringLiteral("LPC932A1")));
    board.faults().silent = silent;
    auto server = std::make_unique<sim::PtyBoardServer>(std::move(board));
    QString error;
    if (!server->start(&error))
        qFatal("simulated board: %s", qPrintable(error));
    qputenv("ZELVAN_COM1", server->devicePath().toLocal8Bit());
    return server;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? std::max(2000, atoi(argv[1])) : 5000;

    {
        auto board = startBoard(false);
        IspLink link;
        link.OpenComPort(1);
        if (!link.fgPortOpened())
            qFatal("cannot open the simulated board");
        const auto exchange = [&link] {
            if (!link.exchangeRecord(QStringLiteral("0100000312")).acknowledged())
                qFatal("the board did not answer");
        };
        for (int i = 0; i < 200; ++i)
            exchange();
        std::vector<double> micros;
        micros.reserve(exchanges);
        QElapsedTimer clock;
        for (int i = 0; i < exchanges; ++i) {
            clock.start();
            exchange();
            micros.push_back(clock.nsecsElapsed() / 1e3);
        }
        double total = 0;
        for (double m : micros)
            total += m;
        std::sort(micros.begin(), micros.end());
        std::printf("(a) ISP exchange through QSerialPort + pseudo-terminal, %d exchanges:\n", exchanges);
        std::printf("    mean %.1f us, median %.1f us, 99th percentile %.1f us (target: mean <= 150 us)\n",
                    total / exchanges, micros[micros.size() / 2], micros[micros.size() * 99 / 100]);
    }
    {
        auto board = startBoard(true);
        IspLink link; // the real limits: five seconds per phase
        link.OpenComPort(1);
        const double processBefore = cpuMilliseconds(RUSAGE_SELF);
#ifdef RUSAGE_THREAD
        const double threadBefore = cpuMilliseconds(RUSAGE_THREAD);
#endif
        QElapsedTimer clock;
        clock.start();
        link.exchangeRecord(QStringLiteral("0100000312"));
        std::printf("(b) one answer wait on a silent board: %.2f s of wall time,\n", clock.elapsed() / 1e3);
        std::printf("    CPU time %.2f ms for the whole process", cpuMilliseconds(RUSAGE_SELF) - processBefore);
#ifdef RUSAGE_THREAD
        std::printf(", %.2f ms on the program's thread", cpuMilliseconds(RUSAGE_THREAD) - threadBefore);
#endif
        std::printf(" (target <= 50 ms)\n");
    }
    return 0;
}
