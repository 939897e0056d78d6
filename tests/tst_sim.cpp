// The simulated board on its own: the framing of what it receives, and its answers. The signature
// its CRC records report is the CRC model's (tst_crc_model).

#include "device/device_catalogue.h"
#include "link/records.h"
#include "sim/board_model.h"

#include <QtTest>

using namespace zelvan;
using namespace zelvan::sim;

namespace {

BoardModel board(const char* part) {
    return BoardModel::forPart(*findPartByName(QString::fromLatin1(part)));
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

    void silentAfterTwoCommands() {
        BoardModel model = board("LPC932A1");
        model.faults().silentAfterUnits = 2;
        QCOMPARE(feed(model, "UPS:00000006FA"), QByteArray("U."));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
