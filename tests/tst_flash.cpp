// Erasing and CRC read-back against the simulated target, checking its flash afterwards.

#include "support/connected_target.h"

#include "common/hex_text.h"
#include "flash/crc_readback.h"
#include "flash/erasing.h"
#include "link/records.h"
#include "link/isp_answer.h"

#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

constexpr char kPattern = '\xAA';

// A connected target whose flash below the bootloader holds a pattern, so that erasing shows.
struct Target : ConnectedTarget {
    explicit Target(const char* part = "LPC932A1")
        : ConnectedTarget(part) {
        withBoard([](sim::BoardModel& b) {
            b.flash().replace(0, b.geometry().intBootloaderAddr, QByteArray(b.geometry().intBootloaderAddr, kPattern));
        });
    }
    DeviceGeometry part() const { return *session.part(); }
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
    // A range erase from the first unit chosen: which units it erases, and the note it shows when
    // protection keeps the bootloader's units (an erase that erased nothing is not done).
    void rangeErase_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<bool>("sectors");
        QTest::addColumn<bool>("protect");
        QTest::addColumn<int>("start"); // the first unit chosen; -1: no range chosen at all
        QTest::addColumn<int>("erasedUpTo");
        QTest::addColumn<QString>("note"); // the box; empty: only the closing one
        const QString pagesKept = QStringLiteral("Erasing 1E00H and higher disabled to protect bootloader");
        const QString sectorKept = QStringLiteral("Erasing Sector 1C00H disabled to protect original bootloader");
        QTest::newRow("8K pages, protected") << "LPC932A1" << false << true << 0 << 0x1E00 << pagesKept;
        QTest::newRow("8K sectors, protected") << "LPC932A1" << true << true << 0 << 0x1C00 << sectorKept;
        QTest::newRow("8K pages, unprotected") << "LPC932A1" << false << false << 0 << 0x2000 << "";
        QTest::newRow("8K sectors, unprotected") << "LPC932A1" << true << false << 0 << 0x2000 << "";
        QTest::newRow("256b sectors: every page") << "LPC901" << false << true << 0 << 0x400 << "";
        QTest::newRow("256b sectors: top sector refused")
            << "LPC901" << true << true << 0 << 0x300 << "Erasing Sector 0300H disabled to protect original bootloader";
        QTest::newRow("pages: the first is the bootloader's")
            << "LPC932A1" << false << true << 0x1E00 / 64 << 0x1E00 << pagesKept;
        QTest::newRow("sectors: the first is the bootloader's")
            << "LPC932A1" << true << true << 7 << 0x1C00 << sectorKept;
        QTest::newRow("no range chosen") << "LPC932A1" << false << true << -1 << 0 << "ERROR: no page range is chosen";
    }
    void rangeErase() {
        QFETCH(QString, part);
        QFETCH(bool, sectors);
        QFETCH(bool, protect);
        QFETCH(int, start);
        QFETCH(int, erasedUpTo);
        QFETCH(QString, note);
        Target target(qPrintable(part));
        target.session.setProtect(protect);
        const int boot = target.part().intBootloaderAddr;
        const int unit = sectors ? target.part().intSectorSize : target.part().intPageSize;
        RangeSelector& range = sectors ? target.session.sectorRange() : target.session.pageRange();
        range.chooseStart(start);
        if (start < 0)
            range.chooseEnd(-1);
        const int from = qMax(0, start) * unit;

        const bool done = sectors ? target.session.run(Command::EraseSector) : target.session.run(Command::ErasePage);

        QCOMPARE(done, erasedUpTo > from);
        const QByteArray flash = target.flash();
        QVERIFY(allBytes(flash.left(from), kPattern));
        QVERIFY(allBytes(flash.mid(from, erasedUpTo - from), '\0'));
        QVERIFY(allBytes(flash.mid(erasedUpTo, qMax(0, boot - erasedUpTo)), kPattern));
        if (protect)
            QCOMPARE(flash.mid(boot), target.bootloader());
        QCOMPARE(target.sent().size(), qMax(0, erasedUpTo - from) / unit);
        if (!note.isEmpty())
            QCOMPARE(target.dialogs.boxTexts(), QStringList{note});
    }

    // Unticking protection while a protected erase runs does not let that erase reach the
    // bootloader: a command works with the setting it started with.
    void protectionIsTakenWhenTheCommandStarts() {
        Target target;
        target.session.pageRange().chooseStart(0x1D00 / 64);
        target.withBoard([](sim::BoardModel& b) { b.times().pageErase = 30ms; });
        QTimer::singleShot(10ms, [&target] { target.session.setProtect(false); });
        QVERIFY(target.session.run(Command::ErasePage));
        QCOMPARE(target.flash().mid(0x1E00), target.bootloader());
        QCOMPARE(target.sent().size(), 4);
    }

    // Protected: refused with a box. Unprotected: the user is asked first, since the bootloader goes too.
    void chipErase_data() {
        QTest::addColumn<bool>("protect");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("protected: refused") << true << true;
        QTest::newRow("unprotected, declined: nothing sent") << false << false;
        QTest::newRow("unprotected, confirmed: everything") << false << true;
    }
    void chipErase() {
        QFETCH(bool, protect);
        QFETCH(bool, confirmed);
        Target target;
        target.session.setProtect(protect);
        target.dialogs.confirmAnswer = confirmed;
        const QByteArray before = target.flash();
        QCOMPARE(target.session.run(Command::EraseChip), !protect && confirmed);
        QCOMPARE(target.dialogs.questions.size(), protect ? 0 : 1);
        if (protect || !confirmed) {
            QCOMPARE(target.dialogs.boxTexts(),
                     protect ? QStringList{"Erasing chip disabled to protect original bootloader"} : QStringList());
            if (protect)
                QCOMPARE(target.dialogs.boxes[0].title, QStringLiteral("Chip Erase"));
            QVERIFY(target.sent().isEmpty());
            QVERIFY(target.record.statuses.isEmpty());
            QCOMPARE(target.flash(), before);
        } else {
            QCOMPARE(target.sent(), QStringList{":00000008F8"});
            QVERIFY(allBytes(target.flash(), '\0'));
        }
    }

    // The second of three pages or sectors fails: the first stays erased, the third is never asked
    // for, and the box holds the error alone (no CRCs read before it).
    void failureStopsRange_data() {
        QTest::addColumn<bool>("crc");
        QTest::addColumn<int>("action");
        for (const bool crc : {false, true}) {
            QTest::addRow("%s, silent", crc ? "sector CRCs" : "page erase")
                << crc << int(sim::FaultRule::Action::Silent);
            QTest::addRow("%s, refused", crc ? "sector CRCs" : "page erase")
                << crc << int(sim::FaultRule::Action::Refuse);
        }
    }
    void failureStopsRange() {
        QFETCH(bool, crc);
        QFETCH(int, action);
        Target target;
        const auto how = static_cast<sim::FaultRule::Action>(action);
        target.addRule(sim::FaultRule::onType(crc ? 0x05 : 0x04, how, 2));
        (crc ? target.session.sectorRange() : target.session.pageRange()).chooseEnd(2);
        const QByteArray before = target.flash();
        QVERIFY(!(crc ? target.session.run(Command::GetSectorCRC) : target.session.run(Command::ErasePage)));
        QCOMPARE(target.sent().size(), 2);
        QCOMPARE(target.session.indicator(), Led::Red);
        QCOMPARE(target.dialogs.boxTexts(),
                 QStringList{how == sim::FaultRule::Action::Silent ? kErrNoResponse : kErrPeripheral});
        QCOMPARE(target.flash(), crc ? before : QByteArray(64, '\0') + before.mid(64));
    }

    // The board answers a record after its time limit, then refuses the next one: that late "."
    // must not pass for the answer of the next command's record.
    void lateAnswerDoesNotPassForTheNext_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("refusedType");
        QTest::newRow("erase") << int(Command::EraseChip) << 0x08;
        QTest::newRow("program record") << int(Command::ProgramFirmware) << 0x00;
        QTest::newRow("CRC read") << int(Command::GetSectorCRC) << 0x05;
    }
    void lateAnswerDoesNotPassForTheNext() {
        QFETCH(int, command);
        QFETCH(int, refusedType);
        Target target;
        target.session.setProtect(false);
        target.session.sectorRange().chooseEnd(0);
        target.loadFirmware(fixturePath("blink.ihx"));
        target.session.link().setTiming({300ms, 500ms, 150ms});
        // Later than the global CRC's limit (twice the answer limit), before the next record's answer.
        target.addRule(sim::FaultRule::onType(0x06, sim::FaultRule::Action::Late, 1).late(1100ms));
        target.addRule(sim::FaultRule::onType(refusedType, sim::FaultRule::Action::Refuse));
        const QByteArray before = target.flash();
        QVERIFY(!target.session.run(Command::GetGlobalCRC));

        QVERIFY(target.session.click(static_cast<Command>(command)));

        QVERIFY(target.session.statusText().endsWith(": Error"));
        QCOMPARE(target.flash(), before);
        QCOMPARE(target.session.link().lateAnswersDropped(), 1);
    }

    void sectorCrcsOfWholePart() {
        Target target("LPC936");
        target.withBoard([](sim::BoardModel& b) {
            for (int i = 0; i < b.flash().size(); ++i)
                b.flash()[i] = static_cast<char>(i * 13 + i / 256);
        });
        QVERIFY(target.session.run(Command::GetSectorCRC));
        QStringList expectedRecords;
        QString expectedText;
        for (int sector = 0; sector < 8; ++sector) {
            const int address = sector * 2048;
            expectedRecords.append(
                QString::fromLatin1(terminatedRecord(QStringLiteral("01000005") + strDecToHex8(sector * 8)).trimmed()));
            const quint32 crc = target.withBoard([&](sim::BoardModel& b) { return b.sectorCrc(address); });
            expectedText += QStringLiteral("CRC %1-%2 = %3\r\n")
                                .arg(strDecToHex16(address), strDecToHex16(address + 2047), hex32(crc));
        }
        QCOMPARE(target.sent(), expectedRecords);
        QCOMPARE(target.dialogs.boxTexts(), QStringList{expectedText});
    }

    void shortAnswerShownWhole() {
        Target target;
        sim::FaultRule canned = sim::FaultRule::onType(0x06, sim::FaultRule::Action::Answer);
        canned.cannedAnswer = "1234.";
        target.addRule(canned);
        QVERIFY(target.session.run(Command::GetGlobalCRC));
        QCOMPARE(target.dialogs.boxTexts(), QStringList{"Global CRC  = 1234\r\n"});
    }
};

QTEST_GUILESS_MAIN(TestFlash)
#include "tst_flash.moc"
