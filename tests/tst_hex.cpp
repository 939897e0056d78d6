// The Intel HEX reader on its own: line ends, address records, capture of configuration values
// above the flash, and the refusal of broken files with their line and reason.

#include "firmware/firmware_cache.h"
#include "firmware/intel_hex.h"

#include <QtTest>

using namespace zelvan;

namespace {

// A 2 KB part unless said otherwise.
constexpr int kFlashLast = 2047;

struct Loaded {
    HexReadResult result;
    HexImage image;
    FirmwareCache cache;
};

Loaded load(const QByteArray& text, int flashLast = kFlashLast) {
    Loaded loaded;
    loaded.result = readIntelHex(text, loaded.image);
    loaded.cache = FirmwareCache::layOut(loaded.image, flashLast);
    return loaded;
}

QByteArray bytesAt(const FirmwareCache& cache, int address, int count) {
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += cache.byteText(address + i).toByteArray();
    return text;
}

} // namespace

class TestHex : public QObject {
    Q_OBJECT

private slots:
    // The bytes a good file puts at the address, as hex text.
    void reads_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("bytes");
        const QList<std::pair<const char*, QByteArray>> lineEnds{{"LF", "\n"}, {"CR LF", "\r\n"}, {"CR", "\r"}};
        for (const auto& [name, end] : lineEnds)
            QTest::addRow("%s line ends", name)
                << ":0400100001020304E2" + end + ":02001400AABB85" + end + ":00000001FF" + end << 0x0F
                << QByteArray("0001020304AABB");
        // Whatever follows the end record is never read, broken or not.
        QTest::newRow("stops at the end record")
            << QByteArray(":0100000011EE\n:00000001FF\n\nthis is not a record\n:0100010022DC\n") << 0
            << QByteArray("1100");
        QTest::newRow("a later record wins")
            << QByteArray(":0100000011EE\n:0100000022DD\n:00000001FF\n") << 0 << QByteArray("22");
        QTest::newRow("blanks around records, blank lines")
            << QByteArray("  :0100000011EE \t\n\n:00000001FF\n") << 0 << QByteArray("11");
        // After a segment address, data running past the segment's end goes on at its start.
        QTest::newRow("segment data wraps round")
            << QByteArray(":020000020000FC\n:02FFFF00ABCD88\n:00000001FF\n") << 0 << QByteArray("CD");
        // Editors on Windows put a UTF-8 byte-order mark in front of the first line.
        QTest::newRow("byte-order mark skipped")
            << QByteArray("\xEF\xBB\xBF:0100000011EE\r\n:00000001FF\r\n") << 0 << QByteArray("11");
    }
    void reads() {
        QFETCH(QByteArray, text);
        QFETCH(int, address);
        QFETCH(QByteArray, bytes);
        const Loaded loaded = load(text);
        QVERIFY2(loaded.result.ok(), qPrintable(loaded.result.reason));
        QCOMPARE(bytesAt(loaded.cache, address, int(bytes.size()) / 2), bytes);
    }

    // Data above the flash: which configuration value it feeds, if any.
    void aboveTheFlash_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("UCFG1 at FFF0") << QByteArray(":01FFF000E32D\n") << 0 << QByteArray("E3");
        QTest::newRow("FF is a value like any other") << QByteArray(":01FFF000FF11\n") << 0 << QByteArray("FF");
        QTest::newRow("status byte at FF03") << QByteArray(":01FF03005AA3\n") << 3 << QByteArray("5A");
        QTest::newRow("value 4 at FFF8") << QByteArray(":01FFF80012F6\n") << 4 << QByteArray("12");
        QTest::newRow("FFF4 captures nothing") << QByteArray(":01FFF40012FA\n") << -1 << QByteArray();
        QTest::newRow("run past FFFF: second byte dropped")
            << QByteArray(":02FFFF00ABCD88\n") << 11 << QByteArray("AB");
        QTest::newRow("linear address 1: outside 64K")
            << QByteArray(":020000040001F9\n:01FFF000E32D\n") << -1 << QByteArray();
        QTest::newRow("linear address FFFF: no wrap round to 0")
            << QByteArray(":02000004FFFFFC\n:10FFF800000102030405060708090A0B0C0D0E0F81\n") << -1 << QByteArray();
        QTest::newRow("segment address 1000: outside 64K")
            << QByteArray(":020000021000EC\n:01FFF000E32D\n") << -1 << QByteArray();
        QTest::newRow("segment address 0FFF: inside")
            << QByteArray(":020000020FFFEE\n:01000000E31C\n") << 0 << QByteArray("E3");
    }
    void aboveTheFlash() {
        QFETCH(QByteArray, text);
        QFETCH(int, index);
        QFETCH(QByteArray, value);
        const Loaded loaded = load(text + ":00000001FF\n");
        QVERIFY(loaded.result.ok());
        QVERIFY(loaded.image.reachesBeyond(kFlashLast));
        for (int i = 0; i < FirmwareCache::kConfigCount; ++i) {
            QCOMPARE(loaded.cache.hasConfig(i), i == index);
            QCOMPARE(loaded.cache.configText(i), i == index ? QByteArrayView(value) : QByteArrayView("FF"));
        }
        QCOMPARE(loaded.cache.imageText(), QByteArray(2 * (kFlashLast + 1), '0'));
    }

    void refused_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no colon") << QByteArray(":0100000011EE\n0100010022DC\n:00000001FF\n") << int(HexFault::NoColon)
                                  << 2 << "does not start";
        QTest::newRow("not hex") << QByteArray(":01000000G1EE\n:00000001FF\n") << int(HexFault::NotHex) << 1
                                 << "\"G\" at column 10";
        QTest::newRow("too short") << QByteArray(":000000\n:00000001FF\n") << int(HexFault::BadLength) << 1
                                   << "too short";
        QTest::newRow("text after checksum")
            << QByteArray(":0100000011EE junk\n:00000001FF\n") << int(HexFault::NotHex) << 1 << "\" \" at column 14";
        QTest::newRow("short linear address") << QByteArray(":0100000401FA\n:00000001FF\n")
                                              << int(HexFault::BadAddressRecord) << 1 << "must hold 2 bytes";
        QTest::newRow("empty file") << QByteArray() << int(HexFault::NoEndRecord) << 1 << "without an end record";
        QTest::newRow("one line, LF only, no end")
            << QByteArray(":0100000011EE") << int(HexFault::NoEndRecord) << 2 << "without an end record";
    }
    void refused() {
        QFETCH(QByteArray, text);
        QFETCH(int, fault);
        QFETCH(int, line);
        QFETCH(QString, reason);
        const Loaded loaded = load(text);
        QCOMPARE(static_cast<int>(loaded.result.fault), fault);
        QCOMPARE(loaded.result.line, line);
        QVERIFY2(loaded.result.reason.contains(reason), qPrintable(loaded.result.reason));
    }
};

QTEST_GUILESS_MAIN(TestHex)
#include "tst_hex.moc"
