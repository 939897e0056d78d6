// Production work on simulated LPC936 boards paced at 57600 baud (text mode, 4 ms a page, 20 ms a
// sector erase), through the real zelvan-cli:
// (a) re-programming a 16 KB image of which one of the eight 2 KB sectors changed, with
//     --changed-only, against a full "program" of the same image (the synchronisation second in
//     both);
// (b) a station on 1 board and on 4 boards, each chip taken out and a new one put in as soon as it
//     is done: chips per hour.

#include "support/board_rig.h"

#include "device/device_catalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>

using namespace zelvan;
using namespace std::chrono_literals;

namespace {

constexpr int kBaud = 57600;

sim::BoardModel lpc936() {
    sim::BoardModel board = sim::BoardModel::forPart(*findPartByName(QStringLiteral("LPC936")));
    board.times().pageProgram = 4ms;
    board.times().sectorErase = 20ms;
    return board;
}

// Writes the bytes (from address 0) as an Intel HEX file of 16-byte records.
void writeHex(const QString& path, const QByteArray& bytes) {
    QByteArray text;
    for (int address = 0; address < bytes.size(); address += 16) {
        QByteArray record = QByteArray::number(16, 16).rightJustified(2, '0') +
                            QByteArray::number(address, 16).rightJustified(4, '0') + "00";
        int sum = 16 + (address >> 8) + (address & 0xFF);
        for (int i = 0; i < 16; ++i) {
            const auto value = static_cast<quint8>(bytes[address + i]);
            record += QByteArray::number(value, 16).rightJustified(2, '0');
            sum += value;
        }
        text += ':' + record.toUpper() +
                QByteArray::number((256 - sum % 256) % 256, 16).rightJustified(2, '0').toUpper() + '\n';
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text + ":00000001FF\n") < 0)
        qFatal("cannot write %s", qPrintable(path));
}

double runCli(const QStringList& args) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(ZELVAN_CLI), args);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        qFatal("zelvan-cli %s failed: %s", qPrintable(args.join(' ')), process.readAllStandardError().constData());
    return clock.nsecsElapsed() / 1e9;
}

void reprogramming(const QTemporaryDir& dir) {
    QByteArray image(16384, '\0');
    QRandomGenerator random(936);
    for (char& byte : image)
        byte = static_cast<char>(random.bounded(1, 256));
    writeHex(dir.filePath("old.hex"), image);
    for (int i = 0x1000; i < 0x1800; ++i) // one sector of eight changes
        image[i] = static_cast<char>(random.bounded(1, 256));
    writeHex(dir.filePath("new.hex"), image);

    test::BoardRig rig;
    rig.place(1, lpc936()).setPacedBaud(kBaud);
    const QStringList common{"--no-protect", "-q", "-p", "COM1", "--crc-variant", "left-low-plain-up-zero"};
    runCli(QStringList{"program", dir.filePath("old.hex")} + common);
    const double changed = runCli(QStringList{"program", dir.filePath("new.hex"), "--changed-only"} + common);
    const bool right = rig.board(1).withBoard([&](sim::BoardModel& b) { return b.flash() == image; });
    const double full = runCli(QStringList{"program", dir.filePath("new.hex")} + common);
    if (!right)
        qFatal("the flash does not hold the image after --changed-only");
    std::printf("(a) re-programming 16 KB with one sector of eight changed: --changed-only %.2f s (it verifies every "
                "sector), a full program %.2f s; ratio %.3f (target <= 0.25)\n",
                changed, full, changed / full);
}

// Chips per hour of a station on the first boards, each chip swapped for a new one as soon as it
// is programmed, over the given time.
double station(const QString& hex, const QByteArray& image, int boards, std::chrono::seconds duration) {
    test::BoardRig rig;
    QStringList ports;
    for (int com = 1; com <= boards; ++com) {
        rig.place(com, lpc936()).setPacedBaud(kBaud);
        ports.append(QStringLiteral("COM%1").arg(com));
    }
    QProcess process;
    process.start(QStringLiteral(ZELVAN_CLI), {"station", "program", hex, "-q", "-p", ports.join(',')});
    if (!process.waitForStarted())
        qFatal("zelvan-cli did not start");
    // A chip that holds the image is done: it is taken out, and a new one put in once the station
    // has seen the socket empty (it looks twice a second).
    constexpr qint64 kSocketEmptyMs = 600;
    int chips = 0;
    QList<qint64> takenOutAt(boards, -1);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < std::chrono::milliseconds(duration).count()) {
        QThread::msleep(20);
        for (int com = 1; com <= boards; ++com) {
            qint64& out = takenOutAt[com - 1];
            rig.board(com).withBoard([&](sim::BoardModel& b) {
                if (b.chipPresent() && b.flash().left(image.size()) == image) {
                    b.removeChip();
                    out = clock.elapsed();
                    ++chips;
                } else if (!b.chipPresent() && out >= 0 && clock.elapsed() - out >= kSocketEmptyMs) {
                    b.insertChip();
                    out = -1;
                }
            });
        }
    }
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    process.waitForFinished(10000);
    return chips * 3600.0 / std::chrono::duration<double>(duration).count();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    reprogramming(dir);

    QByteArray image(4096, '\0');
    QRandomGenerator random(4);
    for (char& byte : image)
        byte = static_cast<char>(random.bounded(1, 256));
    writeHex(dir.filePath("station.hex"), image);
    const auto duration = std::chrono::seconds(argc > 1 ? std::atoi(argv[1]) : 60);
    const double one = station(dir.filePath("station.hex"), image, 1, duration);
    const double four = station(dir.filePath("station.hex"), image, 4, duration);
    std::printf("(b) station, 4 KB image, chips swapped as soon as each is done, %lld s each: one board %.0f chips "
                "per hour, four boards %.0f; ratio to four times one board %.3f (target >= 0.9)\n",
                static_cast<long long>(duration.count()), one, four, four / (4 * one));
    return 0;
}
