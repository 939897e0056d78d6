// Loading a 1 MB Intel HEX file, mostly data above the flash (behind extended linear address
// records), into the 16 KB part's cache, the way "Load Firmware" does; and the time srec_cat takes
// to read and write the same file, for scale.

#include "firmware/firmware_cache.h"
#include "firmware/firmware_loading.h"
#include "link/records.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace zelvan;

namespace {

constexpr qint64 kFileBytes = 1024 * 1024;

QByteArray dataRecord(quint32 address, int count, quint8 seed) {
    QString body = QStringLiteral("%1%2")
                       .arg(count, 2, 16, QLatin1Char('0'))
                       .arg(address & 0xFFFF, 4, 16, QLatin1Char('0'))
                       .toUpper() +
                   QStringLiteral("00");
    for (int i = 0; i < count; ++i)
        body += QStringLiteral("%1").arg(static_cast<quint8>(seed + i * 7), 2, 16, QLatin1Char('0')).toUpper();
    return unterminatedRecord(body) + "\r\n";
}

// 16 KB of program, then data records from 0x10000 up until the file reaches 1 MB.
QByteArray makeHexFile() {
    QByteArray text;
    text.reserve(kFileBytes + 4096);
    quint32 address = 0;
    for (; address < 0x4000; address += 32)
        text += dataRecord(address, 32, static_cast<quint8>(address));
    address = 0x10000;
    quint32 segment = 0;
    while (text.size() < kFileBytes - 32) {
        if (address >> 16 != segment) {
            segment = address >> 16;
            text += unterminatedRecord(QStringLiteral("02000004%1").arg(segment, 4, 16, QLatin1Char('0')).toUpper()) +
                    "\r\n";
        }
        text += dataRecord(address, 32, static_cast<quint8>(address >> 5));
        address += 32;
    }
    return text + ":00000001FF\r\n";
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.hex"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        file.write(makeHexFile());
    }
    const qint64 size = QFileInfo(path).size();

    const int flashLast = 16383;
    std::vector<double> loads;
    for (int run = 0; run < 21; ++run) {
        QElapsedTimer clock;
        clock.start();
        const HexFile file = loadHexFile(path);
        const FirmwareCache cache = FirmwareCache::layOut(file.image, flashLast);
        loads.push_back(clock.nsecsElapsed() / 1e6);
        if (!file.ok() || cache.size() != flashLast + 1)
            qFatal("the file did not load: %s", qPrintable(file.result.reason));
    }
    std::printf("Loading a %lld-byte Intel HEX file (16 KB in the flash, the rest above 0x10000):\n",
                static_cast<long long>(size));
    std::printf("  zelvan loader: median %.1f ms over %zu runs (target <= 100 ms)\n", median(loads), loads.size());

    const QString srecCat = QStandardPaths::findExecutable(QStringLiteral("srec_cat"));
    if (srecCat.isEmpty()) {
        std::printf("  srec_cat: not installed (Debian package srecord)\n");
        return 0;
    }
    std::vector<double> runs;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer clock;
        clock.start();
        QProcess::execute(srecCat, {path, QStringLiteral("-Intel"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                    QStringLiteral("-Intel")});
        runs.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("  srec_cat %s -Intel -o /dev/null -Intel: median %.1f ms over %zu runs\n", "<file>", median(runs),
                runs.size());
    return 0;
}
