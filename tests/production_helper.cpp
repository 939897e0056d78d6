// A second process for the production tests: holds the number file's lock, or appends chip
// records, alongside the test process itself.
//
//   production_helper hold-lock FILE           takes FILE's lock, prints "locked", waits to be killed
//   production_helper append DEST COUNT TAG    writes COUNT long chip records (host TAG, serial
//                                              numbers 0..COUNT-1) to the record destination DEST
//   production_helper take SOURCE COUNT [hold] takes COUNT serial numbers of SOURCE (four bytes),
//                                              printing each on a line of its own once it is taken;
//                                              with hold, then waits to be killed

#include "production/record_sink.h"
#include "production/serial_numbers.h"
#include "production/serial_source.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QThread>

#include <cstdio>

using namespace zelvan;

namespace {

int holdLock(const QString& file) {
    QLockFile lock(serialLockFileName(file));
    if (!lock.lock())
        return 1;
    std::printf("locked\n");
    std::fflush(stdout);
    for (;;)
        QThread::sleep(60);
}

// Lines of a few kilobytes: longer than the pieces a system might split a short write into.
constexpr int kLongPath = 4000;

int append(const QString& destination, int count, const QString& tag) {
    QString error;
    const std::unique_ptr<RecordSink> sink = openRecordSink(destination, &error);
    for (int i = 0; sink && i < count; ++i) {
        ChipRecord record;
        record.time = QDateTime::currentDateTimeUtc();
        record.host = tag;
        record.serialNumber = i;
        record.files = {{QString(kLongPath, QLatin1Char('f')), QString(64, QLatin1Char('0'))}};
        if (!sink->write(record, &error))
            break;
    }
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return error.isEmpty() ? 0 : 1;
}

int take(const QString& text, int count, bool hold) {
    QString error;
    const std::unique_ptr<SerialSource> source = openSerialSource(text, &error);
    for (int i = 0; source && i < count; ++i) {
        const SerialTake taken = source->take(SerialPlace{}, nullptr);
        if (!taken.number) {
            error = taken.error;
            break;
        }
        std::printf("%llu\n", static_cast<unsigned long long>(*taken.number));
        std::fflush(stdout);
    }
    if (!error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(error));
    while (hold && error.isEmpty())
        QThread::sleep(60);
    return error.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == QLatin1String("hold-lock"))
        return holdLock(args[1]);
    if (args.size() == 4 && args[0] == QLatin1String("append"))
        return append(args[1], args[2].toInt(), args[3]);
    if ((args.size() == 3 || (args.size() == 4 && args[3] == QLatin1String("hold"))) &&
        args[0] == QLatin1String("take"))
        return take(args[1], args[2].toInt(), args.size() == 4);
    std::fprintf(stderr,
                 "usage: production_helper hold-lock FILE | append DEST COUNT TAG | take SOURCE COUNT [hold]\n");
    return 2;
}
