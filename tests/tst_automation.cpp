// The automation file: how its lines are read, and whole runs against the simulated target.

#include "support/connected_target.h"

#include "automation/automation_file.h"
#include "board/command_table.h"
#include "link/records.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;

namespace {

QString record(const QString& body) {
    return QString::fromLatin1(unterminatedRecord(body));
}

// A connected target with the blink program loaded (when identified), and a folder for files.
struct Line : ConnectedTarget {
    QTemporaryDir dir;

    explicit Line(bool identified = true)
        : ConnectedTarget("LPC932A1", identified ? Start::Identified : Start::PortOpened) {
        if (identified) {
            loadFirmware(fixturePath("blink.ihx"));
            forget();
        }
    }

    // Writes the automation file, chooses it from the menu and runs it.
    void run(const QByteArray& content) {
        dialogs.fileAnswers = {writeFile(dir.filePath("run.cfg"), content)};
        QVERIFY(session.chooseLoadAutomationFile());
        QVERIFY(session.click(Command::AutoProcedure));
    }
};

} // namespace

class TestAutomation : public QObject {
    Q_OBJECT

private slots:
    void commandKeywords_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("keyword"); // empty: none
        QTest::newRow("noprotect is not protect") << "noprotect"
                                                  << "noprotect";
        QTest::newRow("protect") << "Protect"
                                 << "protect";
        QTest::newRow("inside a longer line") << "echip now"
                                              << "";
    }
    void commandKeywords() {
        QFETCH(QString, line);
        QFETCH(QString, keyword);
        QCOMPARE(parseAutomationLine(line, 1, zelvan::commandKeywords()).command, keyword);
    }

    // The record a value line sends; empty when it sends nothing.
    void valueKeywords_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("body");
        QTest::newRow("ucfcg1 as read") << "ucfcg1=E3"
                                        << "0200000200e3";
        QTest::newRow("ucfcg2") << "UCFCG2=41"
                                << "020000020141";
        QTest::newRow("bootv") << "bootv=1e"
                               << "02000002021e";
        QTest::newRow("boots one digit") << "boots=5"
                                         << "020000020305";
        QTest::newRow("security") << "security=8,7f"
                                  << "02000002087f";
        QTest::newRow("security sector 8 of 16") << "security=24,00"
                                                 << "020000021800";
        QTest::newRow("security number rounded") << "security=8.6,01"
                                                 << "020000020901";
        QTest::newRow("without =") << "ucfcg1"
                                   << "";
        QTest::newRow("value not hex") << "ucfcg1=zz"
                                       << "";
        QTest::newRow("value above FF") << "boots=1FF"
                                        << "";
        QTest::newRow("security without comma") << "security=7f"
                                                << "";
        QTest::newRow("security without number") << "security=,7f"
                                                 << "";
        QTest::newRow("security address above FF") << "security=300,7f"
                                                   << "";
        QTest::newRow("security negative") << "security=-1,7f"
                                           << "";
        QTest::newRow("security number beyond any integer") << "security=6.7e22,7f"
                                                            << "";
    }
    void valueKeywords() {
        QFETCH(QString, line);
        QFETCH(QString, body);
        const AutomationLine parsed = parseAutomationLine(line, 1, zelvan::commandKeywords());
        QCOMPARE(parsed.writes.size(), 1);
        QCOMPARE(parsed.writes[0].body.value_or(QString()), body);
    }

    // The status a value step shows when it fails, whether its line could be used or not.
    void valueStepFailureTexts() {
        const QList<std::pair<QString, QString>> texts{{"ucfcg1=zz", "Programming UCFG1: Error"},
                                                       {"UCFCG2=41", "Programming UCFG2: Error"},
                                                       {"bootv=1e", "Programming Boot Vector: Error"},
                                                       {"boots=1FF", "Programming Status Byte: Error"},
                                                       {"security=8,7f", "Programming Security Byte(s): Error"}};
        for (const auto& [line, text] : texts)
            QCOMPARE(parseAutomationLine(line, 1, zelvan::commandKeywords()).writes.value(0).failureText, text);
    }

    // How a whole file reads: the line a refusal names (-1: none, 0: the file as a whole) and how
    // many lines do something.
    void fileReading_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("refusedLine");
        QTest::addColumn<int>("lines");
        QTest::newRow("any line ending") << QByteArray("pon\necHip\r\npoff\rprogram") << -1 << 4;
        QTest::newRow("blanks around a line are trimmed") << QByteArray(" program\necHip \n") << -1 << 2;
        QTest::newRow("comments and blank lines")
            << QByteArray("# power on\n\n; erase\n  \npon\n# bootv=00\n") << -1 << 1;
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFpon\n") << -1 << 1;
        QTest::newRow("misspelt keyword") << QByteArray("pon\nprogam\npoff\n") << 2 << 0;
        QTest::newRow("a keyword this file format lacks") << QByteArray("verify\n") << 1 << 0;
        QTest::newRow("ucfg1 instead of ucfcg1") << QByteArray("pon\nucfg1=E3\n") << 2 << 0;
        QTest::newRow("two words") << QByteArray("erase chip\n") << 1 << 0;
        QTest::newRow("empty file") << QByteArray() << 0 << 0;
        QTest::newRow("only comments") << QByteArray("# nothing\n") << 0 << 0;
        QTest::newRow("binary") << QByteArray("\x7F"
                                              "ELF\x02\x01\x01\0\0",
                                              9)
                                << 1 << 0;
    }
    void fileReading() {
        QFETCH(QByteArray, content);
        QFETCH(int, refusedLine);
        QFETCH(int, lines);
        const AutomationScript script = parseAutomationFile(content, zelvan::commandKeywords());
        QCOMPARE(script.fault ? script.fault->line : -1, refusedLine);
        QCOMPARE(script.lines.size(), lines);
    }

    // A whole production run, with comments, blank lines and trailing blanks between the steps.
    void productionRun() {
        Line line;
        line.run("# a board\r\nnoprotect\r\npon\r\n\r\n; clean\r\necHip \r\nprogram\r\nucfcg1=E3\r\npoff\r\n");
        const QStringList sent = line.sent();
        QCOMPARE(sent.mid(0, 2), (QStringList{"P", ":00000008F8"}));
        QCOMPARE(sent.mid(sent.size() - 2), (QStringList{record("0200000200e3"), "S"}));
        const QByteArray image = fixtureBytes("blink.bin");
        QCOMPARE(line.flash(), image + QByteArray(8192 - image.size(), '\0')); // the bootloader went too
        QCOMPARE(line.config(0), std::optional<quint8>(0xE3));
        QVERIFY(line.dialogs.boxes.isEmpty());
        QCOMPARE(line.dialogs.beeps, 0);
        QCOMPARE(line.session.statusText(), QStringLiteral("Automatic Programming: Done"));
        QVERIFY(!line.session.protectTicked());
        QVERIFY(!line.session.fgAutoRunning());
        QVERIFY(!line.dialogs.busy);
    }

    // One failed step makes the closing text an error; the run still goes to the end. Programming
    // with nothing loaded would send nothing: that is a failed step too, not a done one.
    void failedStepEndsInError_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("refusedType"); // 0xFF: none, the board refuses nothing
        QTest::addColumn<bool>("loaded");
        QTest::newRow("programming refused") << QByteArray("pon\nprogram\nucfcg1=E3\npoff\n") << 0x00 << true;
        QTest::newRow("value write refused") << QByteArray("ucfcg1=E3\npoff\n") << 0x02 << true;
        QTest::newRow("CRC refused") << QByteArray("gcrc\npoff\n") << 0x06 << true;
        QTest::newRow("erase refused") << QByteArray("noprotect\nepage\npoff\n") << 0x04 << true;
        QTest::newRow("chip erase under protection") << QByteArray("protect\nechip\npoff\n") << 0xFF << true;
        QTest::newRow("value line without =") << QByteArray("ucfcg1\npoff\n") << 0xFF << true;
        QTest::newRow("page erase that protection keeps from the first page")
            << QByteArray("protect\nepage\npoff\n") << 0xFF << true;
        QTest::newRow("programming with nothing loaded") << QByteArray("program\npoff\n") << 0xFF << false;
    }
    void failedStepEndsInError() {
        QFETCH(QByteArray, file);
        QFETCH(int, refusedType);
        QFETCH(bool, loaded);
        Line line;
        if (!loaded)
            QVERIFY(line.session.chooseClearLoadedFw());
        line.session.pageRange().chooseStart(0x1E00 / 64);
        line.addRule(sim::FaultRule::onType(refusedType, sim::FaultRule::Action::Refuse));
        const QByteArray flash = line.flash();
        line.run(file);
        QCOMPARE(line.session.statusText(), QStringLiteral("Automatic Programming: Error"));
        QCOMPARE(line.sent().constLast(), QStringLiteral("S")); // the run went on to the end
        // The failed step changed nothing of the flash.
        QCOMPARE(line.flash(), flash);
    }

    // The whole file is read before anything is sent.
    void misspeltKeywordSendsNothing() {
        Line line;
        line.run("pon\necHip\nprogam\npoff\n");
        QVERIFY(line.sent().isEmpty());
        QCOMPARE(line.session.statusText(), QStringLiteral("Automatic Programming: Error"));
        QVERIFY(!line.dialogs.busy);
    }

    void protectLineAppliesToLaterErases() {
        Line line;
        line.session.setProtect(false);
        line.run("protect\nesector\n");
        QVERIFY(line.session.protectTicked());
        QCOMPARE(line.sent().size(), 7); // sectors 0000..1800, the bootloader's sector refused
        QVERIFY(line.dialogs.boxes.isEmpty());
    }

    // Commands that work on the identified part stop the run when no part has been identified.
    void commandNeedingPartStopsTheRun_data() {
        QTest::addColumn<QString>("keyword");
        for (const char* keyword : {"program", "epage", "esector", "scrc"})
            QTest::newRow(keyword) << QString::fromLatin1(keyword);
    }
    void commandNeedingPartStopsTheRun() {
        QFETCH(QString, keyword);
        Line line(false);
        line.run("pon\n" + keyword.toLatin1() + "\npoff\n");
        QCOMPARE(line.sent(), QStringList{"P"});
        QCOMPARE(line.dialogs.boxes.size(), 1);
        QCOMPARE(line.dialogs.boxes[0].title, QStringLiteral("Zelvan Programmer"));
        QVERIFY(line.dialogs.boxes[0].text.startsWith("Error:  2\r\nline 2 (" + keyword + "): no device"));
        QCOMPARE(line.session.statusText(), QStringLiteral("Automatic Programming: Error"));
        QVERIFY(!line.session.fgAutoRunning());
        // A second run opens the file again normally.
        line.dialogs.clear();
        line.session.click(Command::AutoProcedure);
        QCOMPARE(line.dialogs.boxes.size(), 1);
    }

    void choosingFileEnablesAutoProgramWithoutBoard() {
        BoardRig rig;
        FakeDialogs dialogs;
        Session session(dialogs);
        QTemporaryDir dir;
        dialogs.fileAnswers = {dir.filePath("any.cfg")};
        QVERIFY(session.chooseLoadAutomationFile());
        QVERIFY(session.isEnabled(Command::AutoProcedure));
        QCOMPARE(dialogs.fileRequests[0].title, QStringLiteral("Select Automation File"));
        // Cancelling later keeps the file chosen before.
        QVERIFY(session.chooseLoadAutomationFile());
        QCOMPARE(session.automationFile(), dir.filePath("any.cfg"));
    }

    // Unticking "Protect ISP Code" while a protected run goes on does not let its "echip" through:
    // the run works with the protection it started with, changed only by its own lines.
    void protectionUntickedDuringARun() {
        Line line;
        line.withBoard([](sim::BoardModel& b) { b.times().sectorErase = std::chrono::milliseconds(20); });
        QTimer::singleShot(std::chrono::milliseconds(10), [&line] { line.session.setProtect(false); });
        line.run("esector\nechip\n");
        QVERIFY(!line.sent().contains(":00000008F8"));
        QCOMPARE(line.flash().mid(0x1E00), line.bootloader());
        QVERIFY(!line.session.protectTicked());
    }
};

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
