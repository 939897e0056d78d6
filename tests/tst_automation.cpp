// The automation file: how its lines are read, and choosing one in the window. Whole runs are
// tested in the core (tst_operations), for what the window shows (tst_session), and through both
// faces alike (tst_automation_faces).

#include "support/connected_target.h"

#include "automation/automation_file.h"
#include "board/command_table.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;

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
};

QTEST_GUILESS_MAIN(TestAutomation)
#include "tst_automation.moc"
