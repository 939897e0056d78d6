// A second process for the production tests, beside the test process itself:
//   append DEST COUNT TAG    writes COUNT long chip records (host TAG, serial numbers 0..COUNT-1)
//   take SOURCE COUNT [hold] takes COUNT serial numbers, then prints them one a line; with hold it
//                            takes the lock of a number file first and waits to be killed, as a
//                            taker killed half-way

#include "production/record_sink.h"
#include "production/serial_numbers.h"
#include "production/serial_source.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QThread>

#include <cstdio>

using namespace zelvan;

namespace {

// Lines of a few kilobytes: longer than the pieces a system might split a short write into.
constexpr int kLongPath = 4000;

int append(const QString& destination, int count, const QString& tag) {
    QString error;
    const std::unique_ptr<RecordSink> sink = openRecordSink(destination, &error);
    for (int i = 0; sink && i < count && error.isEmpty(); ++i) {
        ChipRecord record;
        record.time = QDateTime::currentDateTimeUtc();
        record.host = tag;
        record.serialNumber = i;
        record.files = {{QString(kLongPath, QLatin1Char('f')), QString(64, QLatin1Char('0'))}};
        sink->write(record, &error);
    }
    std::fprintf(stderr, "%s", qPrintable(error));
    return error.isEmpty() ? 0 : 1;
}

int take(const QString& text, int count, bool hold) {
    QString error;
    QByteArray numbers;
    const std::unique_ptr<SerialSource> source = openSerialSource(text, &error);
    for (int i = 0; source && i < count && error.isEmpty(); ++i) {
        const SerialTake taken = source->take(SerialPlace{}, nullptr);
        error = taken.error;
        numbers += taken.number ? QByteArray::number(*taken.number) + '\n' : QByteArray();
    }
    QLockFile lock(serialLockFileName(text));
    const bool holding = hold && error.isEmpty() && (!dynamic_cast<SerialNumberFile*>(source.get()) || lock.lock());
    std::fprintf(stdout, "%s", numbers.constData());
    std::fflush(stdout);
    std::fprintf(stderr, "%s", qPrintable(error));
    while (holding)
        QThread::sleep(60);
    return error.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 4 && args[0] == QLatin1String("append"))
        return append(args[1], args[2].toInt(), args[3]);
    if (args.size() >= 3 && args[0] == QLatin1String("take"))
        return take(args[1], args[2].toInt(), args.value(3) == QLatin1String("hold"));
    std::fprintf(stderr, "usage: production_helper append DEST COUNT TAG | take SOURCE COUNT [hold]\n");
    return 2;
}
