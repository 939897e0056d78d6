// Serial numbers for production runs: where they go, their bytes, and taking them from a number
// file that several threads and processes share.

#include "device/device_catalogue.h"
#include "firmware/firmware_cache.h"
#include "production/serial_numbers.h"
#include "support/files.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;

namespace {

constexpr int kHelperWaitMs = 60000;

QByteArray fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

} // namespace

class TestProduction : public QObject {
    Q_OBJECT

private slots:
    void parsePlace_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("address"); // -1: refused
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("error"); // a phrase the refusal holds
        QTest::newRow("decimal, four bytes by default") << "256" << 256ll << 4 << "";
        QTest::newRow("hex with a size") << "0x1F00:2" << 0x1F00ll << 2 << "";
        QTest::newRow("leading zero is still decimal") << "010:1" << 10ll << 1 << "";
        QTest::newRow("size 5") << "16:5" << -1ll << 0 << "1 to 4 bytes";
        QTest::newRow("size left empty") << "16:" << -1ll << 0 << "ADDR[:BYTES]";
        QTest::newRow("hex digits without prefix") << "1F00" << -1ll << 0 << "ADDR[:BYTES]";
        QTest::newRow("beyond 32 bits") << "0x100000000" << -1ll << 0 << "too large";
    }
    void parsePlace() {
        QFETCH(QString, text);
        QFETCH(qint64, address);
        QFETCH(int, bytes);
        QFETCH(QString, error);
        QString why;
        const std::optional<SerialPlace> place = parseSerialPlace(text, &why);
        QCOMPARE(place.has_value(), address >= 0);
        if (place)
            QCOMPARE(*place, (SerialPlace{quint32(address), bytes}));
        else
            QVERIFY2(why.contains(error), qPrintable(why));
    }

    void placeAgainstPart_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("problem"); // a phrase of the refusal; empty: it fits
        // LPC932A1: 8 KB flash, bootloader from 0x1E00. LPC901: 1 KB flash, no bootloader in it.
        QTest::newRow("just below the bootloader") << "LPC932A1"
                                                   << "0x1DFC:4"
                                                   << "";
        QTest::newRow("last byte in the bootloader") << "LPC932A1"
                                                     << "0x1DFD:4"
                                                     << "bootloader area from 0x1E00";
        QTest::newRow("across the flash end") << "LPC932A1"
                                              << "0x1FFF:2"
                                              << "outside the flash";
        QTest::newRow("last bytes of a part without bootloader") << "LPC901"
                                                                 << "0x3FC:4"
                                                                 << "";
    }
    void placeAgainstPart() {
        QFETCH(QString, part);
        QFETCH(QString, place);
        QFETCH(QString, problem);
        QString error;
        const QString found = serialPlaceProblem(*parseSerialPlace(place, &error), findPartByName(part)->geometry);
        QCOMPARE(found.isEmpty(), problem.isEmpty());
        QVERIFY2(found.contains(problem), qPrintable(found));
    }

    void bytesOverImage_data() {
        QTest::addColumn<quint64>("number");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("most significant first") << quint64(0x1234) << 2 << QByteArray("1234");
        QTest::newRow("padded to four") << quint64(0x1234) << 4 << QByteArray("00001234");
        QTest::newRow("all four used") << quint64(0xA1B2C3D4) << 4 << QByteArray("A1B2C3D4");
    }
    void bytesOverImage() {
        QFETCH(quint64, number);
        QFETCH(int, bytes);
        QFETCH(QByteArray, hex);
        QCOMPARE(serialBytes(number, bytes).toHex().toUpper(), hex);

        FirmwareCache cache;
        cache.recreate(8191);
        QVERIFY(laySerialNumber(cache, SerialPlace{0x100, bytes}, number));
        QCOMPARE(cache.bytes().mid(0x100, bytes).toHex().toUpper(), hex);
        QCOMPARE(cache.imageText().mid(2 * 0x100, 2 * bytes), hex); // upper-case texts, as HEX loading keeps them
    }

    void takeFromFile_data() {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<int>("bytes");
        QTest::addColumn<qint64>("taken"); // -1: refused, nothing taken
        QTest::newRow("missing file starts at 1") << QByteArray() << 4 << 1ll;
        QTest::newRow("file with a line end") << QByteArray("41\n") << 4 << 41ll;
        QTest::newRow("largest one-byte number") << QByteArray("255") << 1 << 255ll;
        QTest::newRow("too large for one byte") << QByteArray("256") << 1 << -1ll;
        QTest::newRow("malformed") << QByteArray("12a") << 4 << -1ll;
        QTest::newRow("empty file") << QByteArray("") << 4 << -1ll;
    }
    void takeFromFile() {
        QFETCH(QByteArray, content);
        QFETCH(int, bytes);
        QFETCH(qint64, taken);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("serial.txt"));
        if (!content.isNull())
            writeFile(file, content);
        QString error;
        const std::optional<quint64> number = takeSerialNumber(file, bytes, &error);
        if (taken < 0) {
            QVERIFY(!number);
            QVERIFY(!error.isEmpty());
            QCOMPARE(fileText(file), content.trimmed());
        } else {
            QCOMPARE(number, std::optional<quint64>(taken));
            QCOMPARE(fileText(file), QByteArray::number(taken + 1));
        }
    }

    // A taker killed while it held the lock leaves the lock file behind; the next taker goes on.
    void lockOfAKilledProcessIsTakenOver() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("serial.txt"));
        QProcess holder;
        holder.start(QStringLiteral(ZELVAN_PRODUCTION_HELPER), {"hold-lock", file});
        QVERIFY(holder.waitForReadyRead(kHelperWaitMs));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));
        holder.kill();
        QVERIFY(holder.waitForFinished(kHelperWaitMs));
        QVERIFY(QFile::exists(serialLockFileName(file)));

        QString error;
        QCOMPARE(takeSerialNumber(file, 4, &error), std::optional<quint64>(1));
        QCOMPARE(fileText(file), QByteArray("2"));
    }
};

QTEST_GUILESS_MAIN(TestProduction)
#include "tst_production.moc"
