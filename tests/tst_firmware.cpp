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
        p.loadFirmware(fixturePath(qPrintable(file)));
        QCOMPARE(p.session.statusText(), QStringLiteral("Loading Firmware: Done"));
        QVERIFY(p.dialogs.boxes.isEmpty());
        p.session.setQuickMode(quick);
        QList<QPair<int, int>> steps;
        connect(&p.session, &Session::progressChanged, [&steps](int done, int total) { steps.append({done, total}); });
        const qint64 before = p.session.link().bytesWrittenTotal();

        QVERIFY(p.session.run(Command::ProgramFirmware));

        const QByteArray image = fixtureBytes("blink.bin");
        QCOMPARE(p.flash(), image + QByteArray(7680 - image.size(), '\0') + p.bootloader());
        // Pages 0x0000-0x0140 and 0x0400-0x0440 hold data; the ten pages between are skipped. A
        // page goes as ":" + 2 + 4 + 2 + 128 + 2 characters, or in quick mode as "Q:" + 1 + 2 + 1 +
        // 64 + 1 + 1 bytes, and nothing more: no line end.
        QCOMPARE(p.session.link().bytesWrittenTotal() - before, qint64(8 * (quick ? 72 : 139)));
        QCOMPARE(steps.size(), 10);
        QCOMPARE(steps.first(), (QPair<int, int>{0, 8}));
        QCOMPARE(steps.at(8), (QPair<int, int>{8, 8}));
        QCOMPARE(steps.last(), (QPair<int, int>{0, 0}));
    }

    // The configuration values a file carries are written after the pages, each to its own
    // address, an FF like any other; the values it does not carry are not written.
    void capturedConfigurationIsWritten_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QList<int>>("config"); // UCFG1, UCFG2, boot vector, status byte afterwards
        QTest::newRow("four values") << fixtureBytes("config-bytes.hex")
                                     << QStringList{":0200000200E319", ":020000020141BA", ":02000002021EDC",
                                                    ":02000002035A9F"}
                                     << QList<int>{0xE3, 0x41, 0x1E, 0x5A};
        QTest::newRow("FF for UCFG1 and the boot vector")
            << QByteArray(":01FFF000FF11\n:01FFF200FF0F\n:00000001FF\n")
            << QStringList{":0200000200FFFD", ":0200000202FFFB"} << QList<int>{0xFF, 0x00, 0xFF, 0x00};
    }
    void capturedConfigurationIsWritten() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, records);
        QFETCH(QList<int>, config);
        ConnectedTarget p;
        QTemporaryDir dir;
        p.loadFirmware(writeFile(dir.filePath("config.hex"), file));
        QVERIFY(p.session.run(Command::ProgramFirmware));
        QCOMPARE(p.sent().filter(":02000002"), records);
        for (int address = 0; address < config.size(); ++address)
            QCOMPARE(p.config(address), std::optional<quint8>(config[address]));
    }

    // A record refused or left unanswered ends programming: nothing is sent after it.
    void failedRecordEndsProgramming_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("action");
        QTest::newRow("second page refused") << "00" << int(sim::FaultRule::Action::Refuse);
        QTest::newRow("second configuration value unanswered") << "02" << int(sim::FaultRule::Action::Silent);
    }
    void failedRecordEndsProgramming() {
        QFETCH(QString, type);
        QFETCH(int, action);
        ConnectedTarget p;
        p.loadFirmware(fixturePath("config-bytes.hex"));
        p.addRule(sim::FaultRule::onType(type.toInt(nullptr, 16), static_cast<sim::FaultRule::Action>(action), 2));
        QVERIFY(!p.session.run(Command::ProgramFirmware));
        const QStringList sent = p.sent();
        QCOMPARE(recordsOfType(sent, type).size(), 2);
        QCOMPARE(sent.constLast().mid(7, 2), type);
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
        p.loadFirmware(writeFile(dir.filePath("reaching.hex"), dataRecord(0x1DC0, data) + dataRecord(0x1E00, data) +
                                                                   dataRecord(0x1FC0, data) + ":00000001FF\n"));
        p.session.setProtect(protect);
        p.forget();
        QVERIFY(p.session.run(Command::ProgramFirmware));
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

    // Only regular files of a bounded size are read: a FIFO would block the window until someone
    // writes to it, and /dev/zero never ends. A file gone since it was chosen is named as such.
    void onlyRegularFilesAreRead_data() {
        QTest::addColumn<bool>("automation");
        QTest::addColumn<QString>("kind");
        for (const bool automation : {false, true}) {
            for (const char* kind : {"fifo", "device", "too large", "missing"})
                QTest::addRow("%s, %s", automation ? "automation file" : "HEX file", kind) << automation << kind;
        }
    }
    void onlyRegularFilesAreRead() {
        QFETCH(bool, automation);
        QFETCH(QString, kind);
        ConnectedTarget p;
        QTemporaryDir dir;
        const QString path = kind == QLatin1String("device") ? QStringLiteral("/dev/zero") : dir.filePath("file");
        if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == QLatin1String("too large")) {
            QFile huge(writeFile(path, QByteArray()));
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
        const QString said = kind == QLatin1String("too large") ? QStringLiteral("bytes")
                             : kind == QLatin1String("missing") ? QStringLiteral("file not found")
                                                                : QStringLiteral("not a regular file");
        QCOMPARE(p.dialogs.boxes.size(), 1);
        QVERIFY2(p.dialogs.boxes[0].text.contains(said), qPrintable(p.dialogs.boxes[0].text));
        QCOMPARE(p.session.statusText().endsWith(": Error"), kind != QLatin1String("missing"));
        QVERIFY(!p.dialogs.busy);
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

    // The not-cleared warning comes first (the window suite drops two files and sees both laid
    // over each other), then the warning for the values above the flash, whose text stays.
    void secondLoadWarns() {
        ConnectedTarget p;
        p.loadFirmware(fixturePath("blink.ihx"));
        p.loadFirmware(fixturePath("config-bytes.hex"));
        QCOMPARE(p.dialogs.boxTitles(), (QStringList{"HEX File Loading", "HEX File Warning"}));
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

    void endRecordFirstStillEnablesProgramming() {
        ConnectedTarget p;
        QTemporaryDir dir;
        p.loadFirmware(writeFile(dir.filePath("empty.hex"), ":00000001FF\n"));
        QVERIFY(p.session.isEnabled(Command::ProgramFirmware));
        QVERIFY(p.session.isEnabled(Command::ClearFirmware));
        QCOMPARE(p.session.statusText(), QStringLiteral("Loading Firmware: Done"));
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "tst_firmware.moc"
