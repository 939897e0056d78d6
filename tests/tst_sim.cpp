// The simulated board on its own: the framing of what it receives, and its answers. The signature
// its CRC records report is the CRC model's (tst_crc_model).

#include "device/device_catalogue.h"
#include "link/records.h"
#include "sim/board_model.h"
#include "sim/chip_state.h"
#include "sim/demo_board.h"

#include <QtTest>

using namespace zelvan;
using namespace zelvan::sim;

namespace {

BoardModel board(const char* part) {
    return BoardModel::forPart(*findPartByName(QString::fromLatin1(part)));
}

// Every configuration byte the part has, by address.
std::map<int, quint8> configBytes(const BoardModel& model) {
    std::map<int, quint8> bytes;
    for (int address = 0; address <= 0x1F; ++address) {
        if (const std::optional<quint8> value = model.configByte(address))
            bytes[address] = *value;
    }
    return bytes;
}

// A chip that no longer looks new: programmed, configured and secured.
void useChip(BoardModel& model) {
    model.flash()[0x10] = '\x42';
    model.setConfigByte(0x01, 0x5A);
    model.setConfigByte(0x0A, 0x02);
}

// Everything the board answers to the bytes, in order.
QByteArray feed(BoardModel& model, const QByteArray& bytes) {
    QByteArray answers;
    for (const char byte : bytes) {
        if (const std::optional<Reply> reply = model.receive(byte))
            answers += reply->bytes;
    }
    return answers;
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    void answers_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("sync") << QByteArray("U") << QByteArray("U");
        QTest::newRow("ICP and power off") << QByteArray("PS") << QByteArray("..");
        QTest::newRow("manufacturer") << QByteArray(":0100000310EC\r\n") << QByteArray(":0100000310EC15.");
        QTest::newRow("record needs no line end")
            << QByteArray(":0100000312EA:0100000311EB") << QByteArray(":0100000312EA1F.:0100000311EBDD.");
        QTest::newRow("lower-case digits") << QByteArray(":02000002005aa2\r\n") << QByteArray(":02000002005aa2.");
        QTest::newRow("bad checksum refused") << QByteArray(":0100000310ED\r\n") << QByteArray(":0100000310EDX");
        QTest::newRow("broken record refused") << QByteArray(":01000G") << QByteArray(":01000X");
        QTest::newRow("unknown type refused") << QByteArray(":00000009F7") << QByteArray(":00000009F7X");
        QTest::newRow("security of a missing sector") << QByteArray(":0100000318E4") << QByteArray(":0100000318E4X");
        QTest::newRow("misaligned page erase") << QByteArray(":03000004000041B8") << QByteArray(":03000004000041B8X");
        QTest::newRow("quick program") << quickRecord(QStringLiteral("0200000011 22").remove(' ')) << QByteArray(".");
    }
    void answers() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, answer);
        BoardModel model = board("LPC932A1");
        QCOMPARE(feed(model, input), answer);
    }

    void emptySocket_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("identification reads FF") << QByteArray(":0100000310EC:0100000311EB:0100000312EA")
                                                 << QByteArray(":0100000310ECFF.:0100000311EBFF.:0100000312EAFF.");
        QTest::newRow("program refused") << QByteArray(":020000001122CB") << QByteArray(":020000001122CBX");
        QTest::newRow("the board still answers")
            << QByteArray("UPS:00000001FF") << QByteArray("U..:00000001FF ZELVAN ICP 2-1.");
    }
    void emptySocket() {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, answer);
        BoardModel model = board("LPC932A1");
        model.removeChip();
        QCOMPARE(feed(model, input), answer);
    }

    void newChipIsErasedWithBootloader() {
        BoardModel model = board("LPC936");
        useChip(model);
        model.removeChip();
        model.insertChip();
        const int bootloader = model.geometry().intBootloaderAddr;
        QVERIFY(model.chipPresent());
        QCOMPARE(model.flash().first(bootloader), QByteArray(bootloader, '\0'));
        QCOMPARE(model.flash().sliced(bootloader), model.bootloaderImage());
        QCOMPARE(configBytes(model), configBytes(board("LPC936")));
    }

    void stateRoundTrip() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kept/chip.state"));
        BoardModel model = board("LPC932A1");
        useChip(model);
        QVERIFY(saveChipState(model, path));
        BoardModel loaded = board("LPC932A1");
        QVERIFY(loadChipState(loaded, path));
        QCOMPARE(loaded.flash(), model.flash());
        QCOMPARE(configBytes(loaded), configBytes(model));
        QVERIFY(loaded.chipPresent());

        model.removeChip();
        QVERIFY(saveChipState(model, path));
        QVERIFY(loadChipState(loaded, path));
        QVERIFY(!loaded.chipPresent());

        BoardModel other = board("LPC936");
        QString error;
        QVERIFY(!loadChipState(other, path, &error));
        QVERIFY2(error.contains(QStringLiteral("another part")), qPrintable(error));
        QCOMPARE(other.flash(), board("LPC936").flash());
    }

    // The demo board keeps its chip across a stop and a start, unless told to start anew.
    void demoBoardKeepsItsChip() {
        QTemporaryDir dir;
        const CatalogueEntry& part = *findPartByName(QStringLiteral("LPC932A1"));
        DemoBoardOptions options{dir.filePath(QStringLiteral("demo.state")), false};
        QString error;
        auto server = startDemoBoard(part, options, &error);
        QVERIFY2(server, qPrintable(error));
        server->withBoard([](BoardModel& model) { useChip(model); });
        server.reset();
        server = startDemoBoard(part, options, &error);
        QCOMPARE(server->withBoard([](BoardModel& model) { return model.flash().at(0x10); }), '\x42');
        server.reset();
        options.reset = true;
        server = startDemoBoard(part, options, &error);
        QCOMPARE(server->withBoard([](BoardModel& model) { return model.flash().at(0x10); }), '\0');
        QCOMPARE(QFileInfo(defaultDemoStatePath(*findPartByName(QStringLiteral("LPC922")))).fileName(),
                 QStringLiteral("simulator-LPC922-9221.state"));
    }

    void silentAfterTwoCommands() {
        BoardModel model = board("LPC932A1");
        model.faults().silentAfterUnits = 2;
        QCOMPARE(feed(model, "UPS:00000006FA"), QByteArray("U."));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
