// Loading Intel HEX files made by real toolchains and programming them into the simulated target.

#include "support/connected_target.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;

namespace {

// What the user sees of the cache: the image, the captured values, the label and the commands.
struct CacheView {
    FirmwareCache cache;
    QString label;
    bool programEnabled;
    bool clearEnabled;
    bool operator==(const CacheView&) const = default;
};

CacheView viewOf(const Session& session) {
    return {session.firmware(), session.firmwareLabel(), session.isEnabled(Command::ProgramFirmware),
            session.isEnabled(Command::ClearFirmware)};
}

} // namespace

class TestFirmware : public QObject {
    Q_OBJECT

private slots:
    // Every good file carries the blink program: programmed in either mode, the flash holds it.
    void programsFileIntoFlash_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("quick");
        QTest::newRow("SDCC output, text mode") << "blink.ihx" << false;
        QTest::newRow("SDCC output, quick mode") << "blink.ihx" << true;
        QTest::newRow("srec_cat CR LF with linear address") << "blink-crlf-ela.hex" << false;
        QTest::newRow("GNU objcopy") << "blink-objcopy.hex" << true;
        QTest::newRow("lower-case digits") << "lowercase.hex" << false;
    }
    void programsFileIntoFlash() {
        QFETCH(QString, file);
        QFETCH(bool, quick);
        ConnectedTarget p;
        const QByteArray bootloader = p.flash().mid(7680);
        p.loadFirmware(fixturePath(qPrintable(file)));
        QCOMPARE(p.session.statusText(), QStringLiteral("Loading Firmware: Done"));
        QVERIFY(p.dialogs.boxes.isEmpty());
        p.session.setQuickMode(quick);

        QVERIFY(p.session.click(Command::ProgramFirmware));

        const QByteArray image = fixtureBytes("blink.bin");
        const QByteArray flash = p.flash();
        QCOMPARE(flash.left(image.size()), image);
        QCOMPARE(flash.mid(image.size(), 7680 - image.size()), QByteArray(7680 - image.size(), '\0'));
        QCOMPARE(flash.mid(7680), bootloader);
        QCOMPARE(p.dialogs.boxTexts(), QStringList{"Programming: Done"});
        QCOMPARE(p.dialogs.boxes[0].title, QStringLiteral("Peripheral Programming"));
        QCOMPARE(p.dialogs.beeps, 1);
        QCOMPARE(p.record.statuses.constLast(), QStringLiteral("Programming Firmware: Done"));
        // Pages 0x0000-0x0140 and 0x0400-0x0440 hold data; the ten pages between are skipped.
        const QStringList sent = p.sent();
        QCOMPARE(sent.size(), 8);
        QVERIFY(sent.constFirst().startsWith(quick ? "Q:40000000" : ":40000000"));
    }

    void textRecordHasNoLineEnd() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("blink.ihx"));
        const qint64 before = p.session.link().bytesWrittenTotal();
        p.session.click(Command::ProgramFirmware);
        // 8 pages of ":" + 2 + 4 + 2 + 128 + 2 characters, nothing more.
        QCOMPARE(p.session.link().bytesWrittenTotal() - before, qint64(8 * 139));
    }

    void capturedConfigurationReachesItsAddresses() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("config-bytes.hex"));
        QCOMPARE(p.dialogs.boxes.size(), 1);
        QCOMPARE(p.dialogs.boxes[0].title, QStringLiteral("HEX File Warning"));
        QCOMPARE(p.session.statusText(), QStringLiteral("Loading Firmware: Flash ROM dimension Exceeded"));
        QCOMPARE(p.session.firmware().configText(0), QByteArrayView("E3"));
        QCOMPARE(p.session.firmware().configText(3), QByteArrayView("5A"));
        QVERIFY(p.session.click(Command::ProgramFirmware));
        const QStringList sent = p.sent();
        QCOMPARE(sent.mid(sent.size() - 4),
                 (QStringList{":0200000200E319", ":020000020141BA", ":02000002021EDC", ":02000002035A9F"}));
        QCOMPARE(p.config(0), std::optional<quint8>(0xE3));
        QCOMPARE(p.config(1), std::optional<quint8>(0x41));
        QCOMPARE(p.config(2), std::optional<quint8>(0x1E));
        QCOMPARE(p.config(3), std::optional<quint8>(0x5A));
    }

    void refusedPageEndsAtOnce() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("config-bytes.hex"));
        p.board->withBoard([](sim::BoardModel& b) {
            b.faults().rules.push_back(sim::FaultRule::onType(0x00, sim::FaultRule::Action::Refuse, 3));
        });
        p.dialogs.clear();
        QVERIFY(p.session.click(Command::ProgramFirmware));
        QCOMPARE(p.sent().size(), 3); // no further page, no configuration record
        QCOMPARE(p.dialogs.boxTexts(), QStringList{"Programming error"});
        QCOMPARE(p.session.statusText(), QStringLiteral("Programming Firmware: Done"));
        QVERIFY(p.session.link().response().fgResponseErr);
    }

    void unansweredConfigurationIsAnError() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("config-bytes.hex"));
        p.board->withBoard([](sim::BoardModel& b) {
            b.faults().rules.push_back(sim::FaultRule::onType(0x02, sim::FaultRule::Action::Silent, 2));
        });
        p.dialogs.clear();
        QVERIFY(!p.session.cmdProgramFirmware_Click());
        QCOMPARE(p.dialogs.boxTexts(), QStringList{"Programming error"});
        QCOMPARE(p.sent().filter(":02000002").size(), 2); // stops after the unanswered one
    }

    void emptyCacheSendsNothing() {
        ConnectedTarget p;
        QList<Led> leds;
        connect(&p.session, &Session::indicatorChanged, [&leds](Led led) { leds.append(led); });
        QVERIFY(p.session.cmdProgramFirmware_Click());
        QVERIFY(p.sent().isEmpty());
        QCOMPARE(leds.size(), 128);
        QCOMPARE(leds.count(Led::Yellow), 64);
        QCOMPARE(p.dialogs.boxTexts(), QStringList{"Programming: Done"});
    }

    void progressFollowsSentPages() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("blink.ihx"));
        QList<QPair<int, int>> steps;
        connect(&p.session, &Session::progressChanged, [&steps](int done, int total) { steps.append({done, total}); });
        p.session.click(Command::ProgramFirmware);
        QCOMPARE(steps.size(), 10);
        QCOMPARE(steps.first(), (QPair<int, int>{0, 8}));
        QCOMPARE(steps.at(8), (QPair<int, int>{8, 8}));
        QCOMPARE(steps.last(), (QPair<int, int>{0, 0}));
    }

    void badFilesChangeNothing_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad checksum") << "bad-checksum.hex"
                                      << "Error:  4\r\nbad-checksum.hex, line 5: the checksum is 95";
        QTest::newRow("truncated") << "truncated.hex"
                                   << "truncated.hex, line 8:";
        QTest::newRow("missing end record") << "missing-end.hex"
                                            << "missing-end.hex, line 22: the file ends without";
        QTest::newRow("odd digits") << "odd-digits.hex"
                                    << "Error:  3\r\nodd-digits.hex, line 7: the record has an odd";
        QTest::newRow("wrong byte count") << "wrong-count.hex"
                                          << "wrong-count.hex, line 6: the byte count says 31";
        QTest::newRow("unknown record type") << "unknown-type.hex"
                                             << "Error:  5\r\nunknown-type.hex, line 22: record type 06";
    }
    void badFilesChangeNothing() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        ConnectedTarget p;
        p.loadFirmware(fixturePath("config-bytes.hex"));
        const CacheView before = viewOf(p.session);
        p.dialogs.clear();

        p.loadFirmware(fixturePath(qPrintable(file)));

        QCOMPARE(viewOf(p.session), before);
        QCOMPARE(p.dialogs.boxes.size(), 2); // the not-cleared warning, then the refusal
        QCOMPARE(p.dialogs.boxes[1].title, QStringLiteral("Zelvan Programmer"));
        QVERIFY2(p.dialogs.boxes[1].text.contains(message), qPrintable(p.dialogs.boxes[1].text));
        QCOMPARE(p.session.statusText(), QStringLiteral("Loading Firmware: Error"));
    }

    void secondLoadWarnsAndLaysOver() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("blink.ihx"));
        p.loadFirmware(fixturePath("config-bytes.hex"));
        QCOMPARE(p.dialogs.boxes.size(), 2);
        QCOMPARE(p.dialogs.boxes[0].title, QStringLiteral("HEX File Loading"));
        QVERIFY(p.dialogs.boxes[0].text.startsWith("You are trying to load a firmware file without clearing"));
        QCOMPARE(p.session.firmwareLabel(), "Firmware: " + fixturePath("blink.ihx") + fixturePath("config-bytes.hex"));
        // The exceeded text stays once the over-flash warning was given.
        QCOMPARE(p.session.statusText(), QStringLiteral("Loading Firmware: Flash ROM dimension Exceeded"));
    }

    void cancelledDialogChangesNothing() {
        ConnectedTarget p;
        p.loadFirmware(QString());
        QVERIFY(p.record.statuses.isEmpty());
        QVERIFY(!p.session.isEnabled(Command::ProgramFirmware));
        QCOMPARE(p.dialogs.fileRequests.size(), 1);
        QCOMPARE(p.dialogs.fileRequests[0].title, QStringLiteral("Select Peripheral FIRMWARE File (Load Firmware)"));
    }

    void fileGoneBeforeReading() {
        ConnectedTarget p;
        QTemporaryDir dir;
        p.loadFirmware(dir.filePath("gone.hex"));
        QCOMPARE(p.dialogs.boxTexts(), QStringList{"FIRMWARE file not found"});
        QCOMPARE(p.dialogs.boxes[0].title, QStringLiteral("Loading Firmware File"));
        QVERIFY(!p.session.isEnabled(Command::ProgramFirmware));
        QVERIFY(!p.dialogs.busy);
    }

    void endRecordFirstStillEnablesProgramming() {
        ConnectedTarget p;
        QTemporaryDir dir;
        QFile file(dir.filePath("empty.hex"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(":00000001FF\n");
        file.close();
        p.loadFirmware(file.fileName());
        QVERIFY(p.session.isEnabled(Command::ProgramFirmware));
        QVERIFY(p.session.isEnabled(Command::ClearFirmware));
        QCOMPARE(p.session.statusText(), QStringLiteral("Loading Firmware: Done"));
    }

    void identificationAfterLoadDisablesProgramming() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("blink.ihx"));
        QVERIFY(p.session.click(Command::GetID));
        QVERIFY(!p.session.isEnabled(Command::ProgramFirmware));
        QVERIFY(!p.session.isEnabled(Command::ClearFirmware));
        QCOMPARE(p.session.firmwareLabel(), QStringLiteral("Firmware: "));
        // A failed identification changes nothing.
        p.loadFirmware(fixturePath("blink.ihx"));
        p.board->withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
        p.session.click(Command::GetID);
        QVERIFY(p.session.isEnabled(Command::ProgramFirmware));
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_firmware.moc"
