// zelvan-cli end to end: the real executable as a child process, against simulated boards on
// pseudo-terminals. Each run is judged by its exit status, its key line of output and the
// simulated target's state.

#include "support/board_rig.h"
#include "support/cli_runner.h"
#include "support/connected_target.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

// A board with the LPC932A1 on COM1, a faulty behaviour set up by name.
struct Line {
    BoardRig rig;
    sim::PtyBoardServer* board;
    QTemporaryDir dir;

    explicit Line(const QString& fault = QString()) {
        sim::BoardModel model = boardFor("LPC932A1");
        if (fault == QLatin1String("silent"))
            model.faults().silent = true;
        else if (fault == QLatin1String("refuse id"))
            model.faults().rules.push_back(sim::FaultRule::onType(0x03, sim::FaultRule::Action::Refuse));
        else if (fault == QLatin1String("refuse S"))
            model.faults().rules.push_back(sim::FaultRule::onLetter('S', sim::FaultRule::Action::Refuse));
        board = &rig.place(1, std::move(model));
    }
};

// Whether a line of the text matches the pattern.
bool hasLine(const QString& text, const QString& pattern) {
    const QRegularExpression expression(pattern);
    const QStringList lines = text.split('\n');
    return std::any_of(lines.begin(), lines.end(),
                       [&expression](const QString& line) { return expression.match(line).hasMatch(); });
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    // The exit status and the key line of each command. "{cfg}" in the arguments is an automation
    // file with the row's content; "{hex}" the blink program.
    void commands_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("cfg");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("keyLine"); // a pattern for a line of stdout (done) or stderr (failed)
        const QByteArray none;
        QTest::newRow("info") << "" << QStringList{"info"} << none << 0 << "^part +Philips LPC932A1 \\(1Kb";
        QTest::newRow("icp") << "" << QStringList{"icp"} << none << 0 << "^Peripheral ICP Mode: Done$";
        QTest::newRow("off refused") << "refuse S" << QStringList{"off"} << none << 1
                                     << "^zelvan-cli: off on COM1: Peripheral Power OFF failed \\(ERROR: Check";
        QTest::newRow("erase pages 2-3") << "" << QStringList{"erase", "pages", "2-3"} << none << 0
                                         << "^erased 2 pages from 0080H$";
        QTest::newRow("erase sectors, protected")
            << "" << QStringList{"erase", "sectors"} << none << 0
            << "^erased 7 sectors from 0000H; 1C00H and up kept for the bootloader$";
        QTest::newRow("erase of protected pages only") << "" << QStringList{"erase", "pages", "0x1E00"} << none << 1
                                                       << "^zelvan-cli: erase pages on COM1: 0 of 1 pages erased";
        QTest::newRow("erase chip, protected")
            << "" << QStringList{"erase", "chip"} << none << 2 << "give --no-protect to allow it$";
        QTest::newRow("erase chip") << "" << QStringList{"erase", "chip", "--no-protect"} << none << 0
                                    << "^chip erased$";
        QTest::newRow("crc global") << "" << QStringList{"crc"} << none << 0 << "^global CRC [0-9A-F]{8}$";
        QTest::newRow("crc sectors by address") << "" << QStringList{"crc", "sectors", "0x0400-0x0800"} << none << 0
                                                << "^sector  2 0800-0BFF CRC [0-9A-F]{8}$";
        QTest::newRow("config get") << "" << QStringList{"config", "get", "ucfg1"} << none << 0 << "^ucfg1 63$";
        QTest::newRow("config set") << "" << QStringList{"config", "set", "bootv", "1C"} << none << 0
                                    << "^bootv set to 1C$";
        QTest::newRow("security get") << "" << QStringList{"security", "get", "1"} << none << 0
                                      << "^sector  1 security 00$";
        QTest::newRow("security set") << "" << QStringList{"security", "set", "2", "7f"} << none << 0
                                      << "^sector 2 security set to 7f$";
        QTest::newRow("security of a sector the part lacks")
            << "" << QStringList{"security", "set", "9", "00"} << none << 2 << "the part has sectors 0..7";
        QTest::newRow("ccp") << "" << QStringList{"ccp"} << none << 0 << "^configuration protection cleared$";
        QTest::newRow("run: done") << "" << QStringList{"run", "{cfg}"} << QByteArray("pon\n# note\ngcrc\npoff\n") << 0
                                   << "^Automatic Programming: Done$";
        QTest::newRow("run: a step fails") << "" << QStringList{"run", "{cfg}"} << QByteArray("pon\nucfcg1\npoff\n")
                                           << 1 << "Automatic Programming: Error";
        QTest::newRow("run: program without --hex fails")
            << "" << QStringList{"run", "{cfg}"} << QByteArray("program\n") << 1 << "Automatic Programming: Error";
        QTest::newRow("refused record") << "refuse id" << QStringList{"info"} << none << 1
                                        << "^zelvan-cli: info on COM1: the target's identification could not be read";
        QTest::newRow("silent board") << "silent" << QStringList{"info"} << none << 4
                                      << "^zelvan-cli: info on COM1: no programmer board answers";
        QTest::newRow("missing port") << "" << QStringList{"info", "-p", "COM5"} << none << 4
                                      << "^zelvan-cli: info on COM5: the port cannot be opened: COM5 \\(/nonexistent";
        QTest::newRow("broken HEX file") << "" << QStringList{"program", ZELVAN_TEST_DATA "/bad-checksum.hex"} << none
                                         << 2 << "bad-checksum.hex, line 5: the checksum is 95";
        QTest::newRow("run: noprotect needs --no-protect")
            << "" << QStringList{"run", "{cfg}"} << QByteArray("noprotect\nechip\n") << 2
            << "give --no-protect to allow it$";
        QTest::newRow("verify: a broken HEX file")
            << "" << QStringList{"verify", ZELVAN_TEST_DATA "/truncated.hex"} << none << 2 << "truncated.hex, line 8";
        QTest::newRow("automation file with a typo")
            << "" << QStringList{"run", "{cfg}"} << QByteArray("pon\nprogam\n") << 2 << "line 2: \"progam\" is not";
        QTest::newRow("unknown command") << "" << QStringList{"flash"} << none << 2 << "unknown command \"flash\"";
    }
    void commands() {
        QFETCH(QString, fault);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, cfg);
        QFETCH(int, exitCode);
        QFETCH(QString, keyLine);
        Line line(fault);
        if (!cfg.isEmpty())
            args.replaceInStrings("{cfg}", writeFile(line.dir.filePath("run.cfg"), cfg));
        if (!args.contains("-p"))
            args << "-p"
                 << "COM1";

        const CliRun run = runCli(args);

        QCOMPARE(run.exitCode, exitCode);
        const QString output = exitCode == 0 ? run.out : run.err;
        QVERIFY2(hasLine(output, keyLine), qPrintable(run.out + run.err));
        if (exitCode == 2 && !keyLine.contains("sectors"))
            QVERIFY(received(*line.board).isEmpty()); // refused before anything went to the board
    }

    // Text and quick mode: the flash holds the file byte for byte; the sectors the file touches
    // were erased first (the old image there is gone), the others and the bootloader are untouched.
    void program_data() {
        QTest::addColumn<bool>("quick");
        QTest::newRow("text mode") << false;
        QTest::newRow("quick mode") << true;
    }
    void program() {
        QFETCH(bool, quick);
        Line line;
        line.board->withBoard([](sim::BoardModel& b) {
            b.flash().replace(0, 2048, QByteArray(2048, '\xAA'));
            b.flash().replace(3072, 1024, QByteArray(1024, '\xBB'));
        });
        const QByteArray before = flashOf(*line.board);
        QStringList args{"program", fixturePath("blink.ihx"), "-p", "COM1"};
        if (quick)
            args << "--quick";
        const CliRun run = runCli(args);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith("programmed 8 page(s) (2 sector(s) erased first)"));
        const QByteArray image = fixtureBytes("blink.bin");
        const QByteArray flash = flashOf(*line.board);
        QCOMPARE(flash.left(2048), image + QByteArray(2048 - image.size(), '\0'));
        QCOMPARE(flash.mid(2048), before.mid(2048));
    }

    // A board that dies half-way: the status says so, and so does the count of pages written.
    void boardDiesHalfWay() {
        Line line;
        // Three "U", the version, three ids, two sector erases, then four pages.
        line.board->withBoard([](sim::BoardModel& b) { b.faults().hangUpAfterUnits = 3 + 1 + 3 + 2 + 4; });
        const CliRun run = runCli({"program", fixturePath("blink.ihx"), "-p", "COM1"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("programming stopped: 4 of 8 pages written"), qPrintable(run.err));
    }

    void json() {
        Line line;
        const CliRun run = runCli({"crc", "sectors", "0-1", "--json", "-p", "COM1"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString()); // nothing but the object, and no progress
        QJsonParseError error;
        const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(object["status"].toInt(), 0);
        QCOMPARE(object["part"].toString(), QStringLiteral("LPC932A1"));
        QCOMPARE(object["loader_version"].toString(), QStringLiteral("ZELVAN ICP 2-1"));
        const QJsonArray sectors = object["sectors"].toArray();
        QCOMPARE(sectors.size(), 2);
        const quint32 crc = line.board->withBoard([](sim::BoardModel& b) { return b.sectorCrc(1024); });
        QCOMPARE(sectors[1].toObject()["crc"].toString().toUInt(nullptr, 16), crc);
    }

    // A bar redrawn on a terminal; a line at every tenth into a pipe.
    void progress_data() {
        QTest::addColumn<bool>("terminal");
        QTest::newRow("terminal") << true;
        QTest::newRow("pipe") << false;
    }
    void progress() {
        QFETCH(bool, terminal);
        Line line;
        const QStringList args{"program", fixturePath("blink.ihx"), "-p", "COM1"};
        const CliRun run = terminal ? runCliOnTerminal(args) : runCli(args);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err.contains("\rprogramming ["), terminal);
        QVERIFY2(run.err.contains(terminal ? "8/8 pages  100%" : "programming 100% (8/8 pages)"), qPrintable(run.err));
        QCOMPARE(run.err.contains("programming 50% (4/8 pages)\n"), !terminal);
        QCOMPARE(runCli(args + QStringList{"-q"}).err, QString());
    }

    // Ctrl-C or a kill while the board keeps silent: the wait ends at once and the program says
    // what was left undone.
    void interrupt_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    }
    void interrupt() {
        QFETCH(int, signal);
        QFETCH(int, exitCode);
        Line line;
        // Everything up to the identification is answered; the first erase is not.
        line.board->withBoard([](sim::BoardModel& b) { b.faults().silentAfterUnits = 3 + 1 + 3; });
        QElapsedTimer sinceSignal;
        const CliRun run = runCli({"program", fixturePath("blink.ihx"), "-p", "COM1"}, [&](QProcess& process) {
            QTRY_COMPARE_WITH_TIMEOUT(received(*line.board).filter(":03000004").size(), 1, 5000);
            sinceSignal.start();
            ::kill(static_cast<pid_t>(process.processId()), signal);
        });
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(sinceSignal.elapsed() < 1000, qPrintable(QString::number(sinceSignal.elapsed())));
        QVERIFY2(run.err.contains("program on COM1 interrupted: erasing stopped after 0 of 2 sectors"),
                 qPrintable(run.err));
    }

    void ports() {
        Line line; // COM1 a board; COM2..COM8 name devices that do not exist
        const CliRun run = runCli({"ports"});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 8);
        QVERIFY2(lines[0].startsWith("COM1  " + line.board->devicePath()) &&
                     lines[0].endsWith("a board answers: ZELVAN ICP 2-1"),
                 qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith("COM2  /nonexistent/zelvan-test-com2") && !lines[1].contains("answers"),
                 qPrintable(lines[1]));
    }

    // The rows that need no fault rule and read no simulator internals, against a real board when
    // ZELVAN_TEST_PORT names one: the first user with hardware checks what the simulator assumes.
    void realBoard_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("keyLine");
        QTest::newRow("info") << QStringList{"info"} << "^part ";
        QTest::newRow("erase the first page") << QStringList{"erase", "pages", "0"} << "^erased 1 pages from 0000H$";
        QTest::newRow("program") << QStringList{"program", fixturePath("blink.ihx")} << "^programmed 8 page\\(s\\)";
        QTest::newRow("crc") << QStringList{"crc", "sectors", "0"} << "^sector  0 0000-";
    }
    void realBoard() {
        QFETCH(QStringList, args);
        QFETCH(QString, keyLine);
        const QString port = qEnvironmentVariable("ZELVAN_TEST_PORT");
        if (port.isEmpty())
            QSKIP("no real board: ZELVAN_TEST_PORT names none");
        const CliRun run = runCli(args + QStringList{"-p", port});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(hasLine(run.out, keyLine), qPrintable(run.out + run.err));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
