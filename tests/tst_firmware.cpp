// Loading Intel HEX files made by real toolchains and programming them into the simulated target.

#include "support/connected_target.h"

#include "automation/automation_file.h"
#include "link/records.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

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

// An Intel HEX data record of the bytes at the address.
QByteArray dataRecord(int address, const QByteArray& bytes) {
    const QString body = QStringLiteral("%1%2%3")
                             .arg(bytes.size(), 2, 16, QLatin1Char('0'))
                             .arg(address, 4, 16, QLatin1Char('0'))
                             .arg(QStringLiteral("00") + QString::fromLatin1(bytes.toHex()))
                             .toUpper();
    return unterminatedRecord(body) + "\n";
}

QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& content) {
    QFile file(dir.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", name);
    file.write(content);
    return file.fileName();
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

        QVERIFY(p.session.cmdProgramFirmware_Click());

        const QByteArray image = fixtureBytes("blink.bin");
        const QByteArray flash = p.flash();
        QCOMPARE(flash.left(image.size()), image);
        QCOMPARE(flash.mid(image.size(), 7680 - image.size()), QByteArray(7680 - image.size(), '\0'));
        QCOMPARE(flash.mid(7680), bootloader);
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
        p.addRule(sim::FaultRule::onType(0x00, sim::FaultRule::Action::Refuse, 3));
        QVERIFY(!p.session.cmdProgramFirmware_Click());
        QCOMPARE(p.sent().size(), 3); // no further page, no configuration record
    }

    // While the bootloader is protected, the pages of the image that lie in its area are not
    // written, and the user is told how many before anything is sent.
    void protectedBootloaderPages_data() {
        QTest::addColumn<bool>("protect");
        QTest::newRow("protected") << true;
        QTest::newRow("unprotected") << false;
    }
    void protectedBootloaderPages() {
        QFETCH(bool, protect);
        ConnectedTarget p;
        QTemporaryDir dir;
        const QByteArray data(64, '\x5A');
        p.loadFirmware(writeFile(dir, "reaching.hex",
                                 dataRecord(0x1DC0, data) + dataRecord(0x1E00, data) + dataRecord(0x1FC0, data) +
                                     ":00000001FF\n"));
        p.session.setProtect(protect);
        p.forget();
        QVERIFY(p.session.cmdProgramFirmware_Click());
        const QByteArray flash = p.flash();
        QCOMPARE(flash.mid(0x1DC0, 64), data);
        if (protect) {
            QCOMPARE(flash.mid(0x1E00), p.bootloader());
            QCOMPARE(p.sent().size(), 1);
            QCOMPARE(p.dialogs.boxes.size(), 2); // the notice, then the result
            QVERIFY2(p.dialogs.boxes[0].text.startsWith("2 page(s) of the firmware lie in the bootloader area (1E00H"),
                     qPrintable(p.dialogs.boxes[0].text));
        } else {
            QCOMPARE(flash.mid(0x1E00, 64), data);
            QCOMPARE(flash.mid(0x1FC0, 64), data);
            QCOMPARE(p.sent().size(), 3);
        }
    }

    // A configuration value of FF carried by the file is written like any other.
    void capturedFFIsWritten() {
        ConnectedTarget p;
        QTemporaryDir dir;
        p.loadFirmware(writeFile(dir, "ff.hex", ":01FFF000FF11\n:01FFF200FF0F\n:00000001FF\n"));
        QVERIFY(p.session.cmdProgramFirmware_Click());
        QCOMPARE(p.sent(), (QStringList{":0200000200FFFD", ":0200000202FFFB"}));
        QCOMPARE(p.config(0), std::optional<quint8>(0xFF));
        QCOMPARE(p.config(2), std::optional<quint8>(0xFF));
    }

    // Only regular files of a bounded size are read: a FIFO would block the window until someone
    // writes to it, and /dev/zero never ends.
    void onlyRegularFilesAreRead_data() {
        QTest::addColumn<bool>("automation");
        QTest::addColumn<QString>("kind");
        for (const bool automation : {false, true}) {
            for (const char* kind : {"fifo", "device", "too large"})
                QTest::addRow("%s, %s", automation ? "automation file" : "HEX file", kind) << automation << kind;
        }
    }
    void onlyRegularFilesAreRead() {
        QFETCH(bool, automation);
        QFETCH(QString, kind);
        ConnectedTarget p;
        QTemporaryDir dir;
        QString path = QStringLiteral("/dev/zero");
        if (kind == QLatin1String("fifo")) {
            path = dir.filePath("pipe");
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("too large")) {
            path = writeFile(dir, "huge", QByteArray());
            QFile huge(path);
            QVERIFY(huge.resize(automation ? kMaxAutomationFileBytes + 1 : 64 * 1024 * 1024 + 1));
        }
        const CacheView before = viewOf(p.session);
        if (automation) {
            p.dialogs.fileAnswers = {path};
            QVERIFY(p.session.chooseLoadAutomationFile());
            QVERIFY(p.session.click(Command::AutoProcedure));
            QVERIFY(p.sent().isEmpty());
        } else {
            p.loadFirmware(path);
            QCOMPARE(viewOf(p.session), before);
        }
        QCOMPARE(p.dialogs.boxes.size(), 1);
        QVERIFY2(p.dialogs.boxes[0].text.contains(kind == QLatin1String("too large") ? "bytes" : "not a regular file"),
                 qPrintable(p.dialogs.boxes[0].text));
        QVERIFY(p.session.statusText().endsWith(": Error"));
    }

    void unansweredConfigurationIsAnError() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("config-bytes.hex"));
        p.addRule(sim::FaultRule::onType(0x02, sim::FaultRule::Action::Silent, 2));
        QVERIFY(!p.session.cmdProgramFirmware_Click());
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

    // A failed identification changes nothing (a completed one reads the files again: the
    // window suite tests that).
    void failedIdentificationKeepsFirmware() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("blink.ihx"));
        const FirmwareCache before = p.session.firmware();
        p.board->withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
        p.session.click(Command::GetID);
        QVERIFY(p.session.isEnabled(Command::ProgramFirmware));
        QVERIFY(p.session.firmware() == before);
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_firmware.moc"
