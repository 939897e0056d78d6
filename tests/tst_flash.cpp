// Erasing and CRC read-back against the simulated target, checking its flash afterwards.

#include "support/connected_target.h"

#include "flash/crc_readback.h"
#include "flash/erasing.h"
#include "link/records.h"

#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;

namespace {

constexpr char kPattern = '\xAA';

// A connected target whose flash below the bootloader holds a pattern, so that erasing shows.
struct Target : ConnectedTarget {
    explicit Target(const char* part)
        : ConnectedTarget(part) {
        board->withBoard([](sim::BoardModel& b) {
            b.flash().replace(0, b.geometry().intBootloaderAddr, QByteArray(b.geometry().intBootloaderAddr, kPattern));
        });
    }
    CommandContext automationContext() { return CommandContext{session.link(), session, dialogs, true}; }
};

bool allBytes(const QByteArray& bytes, char value) {
    return std::all_of(bytes.begin(), bytes.end(), [value](char c) { return c == value; });
}

QString hex32(quint32 value) {
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

class TestFlash : public QObject {
    Q_OBJECT

private slots:
    void rangeErase_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<bool>("sectors");
        QTest::addColumn<bool>("protect");
        QTest::addColumn<int>("erasedUpTo");
        QTest::addColumn<QString>("result");
        QTest::newRow("8K pages, protected")
            << "LPC932A1" << false << true << 0x1E00 << "Erasing 1E00H and higher disabled to protect bootloader";
        QTest::newRow("8K sectors, protected")
            << "LPC932A1" << true << true << 0x1C00 << "Erasing Sector 1C00H disabled to protect original bootloader";
        QTest::newRow("8K pages, unprotected") << "LPC932A1" << false << false << 0x2000 << "Page Erasing: Done";
        QTest::newRow("8K sectors, unprotected") << "LPC932A1" << true << false << 0x2000 << "Sector Erasing: Done";
        QTest::newRow("256b sectors: every page") << "LPC901" << false << true << 0x400 << "Page Erasing: Done";
        QTest::newRow("256b sectors: top sector refused")
            << "LPC901" << true << true << 0x300 << "Erasing Sector 0300H disabled to protect original bootloader";
    }
    void rangeErase() {
        QFETCH(QString, part);
        QFETCH(bool, sectors);
        QFETCH(bool, protect);
        QFETCH(int, erasedUpTo);
        QFETCH(QString, result);
        Target target(qPrintable(part));
        target.session.setProtect(protect);
        const int boot = target.session.geometry().intBootloaderAddr;
        const int unit = sectors ? target.session.geometry().intSectorSize : target.session.geometry().intPageSize;

        QVERIFY(target.session.click(sectors ? Command::EraseSector : Command::ErasePage));

        const QByteArray flash = target.flash();
        QVERIFY(allBytes(flash.left(erasedUpTo), '\0'));
        QVERIFY(allBytes(flash.mid(erasedUpTo, qMax(0, boot - erasedUpTo)), kPattern));
        if (protect)
            QCOMPARE(flash.mid(boot), target.bootloader());
        QCOMPARE(target.sent().size(), erasedUpTo / unit);
        QCOMPARE(target.sent().constFirst(),
                 QString::fromLatin1(terminatedRecord((sectors ? "0300000401" : "0300000400") + QStringLiteral("0000")))
                     .trimmed());
        QCOMPARE(target.dialogs.boxTexts(), QStringList{result});
        QCOMPARE(target.dialogs.boxes[0].title,
                 sectors ? QStringLiteral("Sector Erasing") : QStringLiteral("Page Erasing"));
        QCOMPARE(target.dialogs.beeps, 1);
        QCOMPARE(target.record.statuses.constFirst(),
                 sectors ? QStringLiteral("Erasing Device Sectors...") : QStringLiteral("Erasing Device Pages..."));
        QCOMPARE(target.record.statuses.constLast(), sectors ? QStringLiteral("Erasing Device Sectors: Done")
                                                             : QStringLiteral("Erasing Device Pages: Done"));
        QCOMPARE(target.session.indicator(), Led::DarkYellow);
    }

    void chipErase_data() {
        QTest::addColumn<bool>("protect");
        QTest::newRow("protected: refused") << true;
        QTest::newRow("unprotected: everything") << false;
    }
    void chipErase() {
        QFETCH(bool, protect);
        Target target("LPC932A1");
        target.session.setProtect(protect);
        const QByteArray before = target.flash();
        QVERIFY(target.session.click(Command::EraseChip));
        if (protect) {
            QCOMPARE(target.dialogs.boxTexts(), QStringList{"Erasing chip disabled to protect original bootloader"});
            QCOMPARE(target.dialogs.boxes[0].title, QStringLiteral("Chip Erase"));
            QVERIFY(target.sent().isEmpty());
            QVERIFY(target.record.statuses.isEmpty());
            QCOMPARE(target.flash(), before);
        } else {
            QCOMPARE(target.dialogs.boxTexts(), QStringList{"Chip Erasing: Done"});
            QCOMPARE(target.sent(), QStringList{":00000008F8"});
            QCOMPARE(target.record.statuses, (QStringList{"Erasing Device...", "Erasing Device: Done"}));
            QVERIFY(allBytes(target.flash(), '\0'));
        }
    }

    // The second of three pages fails: the first stays erased, the third is never asked for.
    void failureStopsRange_data() {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("result");
        QTest::newRow("silent") << int(sim::FaultRule::Action::Silent) << "ERROR: No response, check RS232 cable";
        QTest::newRow("refused") << int(sim::FaultRule::Action::Refuse) << "ERROR: Check Peripheral Connections";
    }
    void failureStopsRange() {
        QFETCH(int, action);
        QFETCH(QString, result);
        Target target("LPC932A1");
        target.addRule(sim::FaultRule::onBody("0300000400", static_cast<sim::FaultRule::Action>(action), 2));
        target.session.pageRange().chooseEnd(2);
        QVERIFY(!target.session.cmdErasePage_Click());
        QCOMPARE(target.sent(), (QStringList{":03000004000000F9", ":03000004000040B9"}));
        QCOMPARE(target.dialogs.boxTexts(), QStringList{result});
        QCOMPARE(target.session.indicator(), Led::Red);
        const QByteArray flash = target.flash();
        QVERIFY(allBytes(flash.left(64), '\0'));
        QVERIFY(allBytes(flash.mid(64, 128), kPattern));
        QVERIFY(!target.session.link().response().fgResponseErr);
    }

    void startAboveEndSendsNothing() {
        Target target("LPC932A1");
        CommandContext ctx{target.session.link(), target.session, target.dialogs, false};
        QVERIFY(eraseRange(ctx, sectorErase(), 1024, 7680, 3, 1, [] { return true; }));
        QVERIFY(target.sent().isEmpty());
        QCOMPARE(target.dialogs.boxTexts(), QStringList{"Sector Erasing: Done"});
    }

    void automationSilencesEraseButNotCrc() {
        Target target("LPC932A1");
        CommandContext ctx = target.automationContext();
        QVERIFY(eraseRange(ctx, pageErase(), 64, 7680, 0, 1, [] { return true; }));
        QVERIFY(eraseChip(ctx, false));
        QVERIFY(target.dialogs.boxes.isEmpty());
        QCOMPARE(target.dialogs.beeps, 0);
        QVERIFY(!eraseChip(ctx, true)); // the refusal box shows during the automation too
        QVERIFY(readGlobalCrc(ctx));
        QVERIFY(readSectorCrcs(ctx, 1024, 0, 0));
        QCOMPARE(target.dialogs.boxes.size(), 3);
        QCOMPARE(target.dialogs.beeps, 0);
    }

    void sectorCrcsOfWholePart() {
        Target target("LPC936");
        target.board->withBoard([](sim::BoardModel& b) {
            for (int i = 0; i < b.flash().size(); ++i)
                b.flash()[i] = static_cast<char>(i * 13 + i / 256);
        });
        QVERIFY(target.session.click(Command::GetSectorCRC));
        QStringList expectedRecords;
        QString expectedText;
        for (int sector = 0; sector < 8; ++sector) {
            const int address = sector * 2048;
            expectedRecords.append(QString::fromLatin1(
                terminatedRecord(QStringLiteral("01000005") +
                                 QStringLiteral("%1").arg(sector * 8, 2, 16, QLatin1Char('0')).toUpper())
                    .trimmed()));
            const quint32 crc = target.board->withBoard([&](sim::BoardModel& b) { return b.sectorCrc(address); });
            expectedText += QStringLiteral("CRC %1-%2 = %3\r\n")
                                .arg(strDecToHex16(address), strDecToHex16(address + 2047), hex32(crc));
        }
        QCOMPARE(target.sent(), expectedRecords);
        QCOMPARE(target.sent().constLast(), QStringLiteral(":0100000538C2"));
        QCOMPARE(target.dialogs.boxTexts(), QStringList{expectedText});
        QCOMPARE(target.dialogs.boxes[0].title, QStringLiteral("Sectors CRC"));
        QCOMPARE(target.record.statuses.constLast(), QStringLiteral("Reading Sectors CRC: Done"));
    }

    void globalCrcMatchesTheTarget() {
        Target target("LPC932A1");
        QVERIFY(target.session.click(Command::GetGlobalCRC));
        const quint32 crc = target.board->withBoard([](sim::BoardModel& b) { return b.globalCrc(); });
        QCOMPARE(target.dialogs.boxTexts(), QStringList{"Global CRC  = " + hex32(crc) + "\r\n"});
        QCOMPARE(target.dialogs.boxes[0].title, QStringLiteral("Global CRC"));
        QCOMPARE(target.dialogs.beeps, 0);
        QCOMPARE(target.session.indicator(), Led::Green);
    }

    void shortAnswerShownWhole() {
        Target target("LPC932A1");
        sim::FaultRule canned = sim::FaultRule::onType(0x06, sim::FaultRule::Action::Answer);
        canned.cannedAnswer = "1234.";
        target.addRule(canned);
        target.session.click(Command::GetGlobalCRC);
        QCOMPARE(target.dialogs.boxTexts(), QStringList{"Global CRC  = 1234\r\n"});
    }

    void failureInTheMiddleShowsOnlyTheError() {
        Target target("LPC932A1");
        target.addRule(sim::FaultRule::onType(0x05, sim::FaultRule::Action::Silent, 2));
        target.session.sectorRange().chooseEnd(3);
        QVERIFY(!target.session.cmdGetSectorCRC_Click());
        QCOMPARE(target.sent().size(), 2);
        QCOMPARE(target.dialogs.boxTexts(), QStringList{"ERROR: No response, check RS232 cable"});
        QCOMPARE(target.session.indicator(), Led::Red);
    }
};

QTEST_GUILESS_MAIN(TestFlash)
#include "tst_flash.moc"
