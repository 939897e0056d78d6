// zelvan-cli end to end: the real executable as a child process against simulated boards on
// pseudo-terminals, one board or several at once, judged by its exit status, its lines, its JSON
// and what reached the boards.

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

namespace {

const QString kBlink = QStringLiteral(ZELVAN_TEST_DATA "/blink.ihx"); // 8 pages in sectors 0 and 1

// Data in the sector the LPC932A1's bootloader shares (1C00H, the bootloader from 1E00H).
const QString kBesideBootloader = QStringLiteral(":041C000001020304D6\n:00000001FF\n");

// Boards with the LPC932A1 on COM1, COM2, ..., one a fault: "" none, "silent", "missing" (no
// board on the port), "refuse id", "refuse S" (power off), "refuse page" (the 5th),
// "lose page" (the 7th is acknowledged but not written: a verify fails), "hang up" (the board
// dies after 4 pages of blink), "stall" (nothing answered after the identification).
struct Boards {
    BoardRig rig;
    QTemporaryDir dir;
    QStringList ports;

    explicit Boards(const QStringList& faults) {
        using Rule = sim::FaultRule;
        for (int com = 1; com <= faults.size(); ++com) {
            ports.append(QStringLiteral("COM%1").arg(com));
            const QString& fault = faults[com - 1];
            sim::BoardModel model = boardFor("LPC932A1");
            sim::BoardFaults& f = model.faults();
            f.silent = fault == "silent";
            f.hangUpAfterUnits = fault == "hang up" ? 3 + 1 + 3 + 2 + 4 : -1; // U, version, ids, erases, pages
            f.silentAfterUnits = fault == "stall" ? 3 + 1 + 3 : -1;
            if (fault.startsWith("refuse") || fault == "lose page") {
                const auto action = fault == "lose page" ? Rule::Action::Ignore : Rule::Action::Refuse;
                f.rules.push_back(fault == "refuse S"    ? Rule::onLetter('S', action)
                                  : fault == "refuse id" ? Rule::onType(0x03, action)
                                                         : Rule::onType(0x00, action, fault == "lose page" ? 7 : 5));
            }
            if (fault != "missing")
                rig.place(com, std::move(model));
        }
    }
    // What reached the board on COMn besides connecting and identifying.
    QStringList work(int com) {
        static const QRegularExpression connecting("^(U|:00000001FF|:010000031[0-2]..)$");
        QStringList sent = received(rig.board(com));
        sent.removeIf([](const QString& record) { return connecting.match(record).hasMatch(); });
        return sent;
    }
};

// Whether a line of the text matches the pattern.
bool hasLine(const QString& text, const QString& pattern) {
    const QRegularExpression expression(pattern, QRegularExpression::MultilineOption);
    return expression.match(text).hasMatch();
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void init() { qputenv("ZELVAN_LINK_TIMING_MS", "1000,1000,200"); }

    // The exit status and the key line of each command, on one board and on several: 0 done, 1 not
    // done, 2 bad input (nothing written), 3 verify failed, 4 no board, 130 and 143 a signal once
    // every board waits for its first erase. An argument holding a line end is the content of a
    // file, given by its path.
    void commands_data() {
        QTest::addColumn<QStringList>("faults"); // one a board, on COM1, COM2, ...
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("keyLine"); // a line of stdout when done, of stderr otherwise
        QTest::addColumn<int>("signal");
        const auto row = [](const char* name, const QStringList& faults, const QStringList& args, int exitCode,
                            const char* keyLine, int signal = 0) {
            QTest::newRow(name) << faults << args << exitCode << QString::fromUtf8(keyLine) << signal;
        };
        const QStringList one{""};
        const QStringList verifyBlink{"program", kBlink, "--verify"};
        row("info", one, {"info"}, 0, "^part +Philips LPC932A1 \\(1Kb");
        row("icp", one, {"icp"}, 0, "^Peripheral ICP Mode: Done$");
        row("erase pages", one, {"erase", "pages", "2-3"}, 0, "^erased 2 pages from 0080H$");
        row("erase sectors, protected", one, {"erase", "sectors"}, 0,
            "^erased 7 sectors from 0000H; 1C00H and up kept for the bootloader$");
        row("erase chip", one, {"erase", "chip", "--no-protect"}, 0, "^chip erased$");
        row("crc global", one, {"crc"}, 0, "^global CRC [0-9A-F]{8}$");
        row("crc sectors by address", one, {"crc", "sectors", "0x0400-0x0800"}, 0,
            "^sector  2 0800-0BFF CRC [0-9A-F]{8}$");
        row("config get", one, {"config", "get", "ucfg1"}, 0, "^ucfg1 63$");
        row("config set", one, {"config", "set", "bootv", "1C"}, 0, "^bootv set to 1C$");
        row("security get", one, {"security", "get", "1"}, 0, "^sector  1 security 00$");
        row("security set", one, {"security", "set", "2", "7f"}, 0, "^sector 2 security set to 7f$");
        row("ccp", one, {"ccp"}, 0, "^configuration protection cleared$");
        row("run", one, {"run", "pon\n# note\ngcrc\npoff\n"}, 0, "^Automatic Programming: Done$");
        row("program --quick", one, {"program", kBlink, "--quick"}, 0,
            "^programmed 8 page\\(s\\) \\(2 sector\\(s\\) erased first\\)$");
        row("program --verify", one, verifyBlink, 0, "^verified 2 CRC\\(s\\) against the image \\(");
        row("refused record", {"refuse id"}, {"info"}, 1,
            "^zelvan-cli: info on COM1: the target's identification could not be read");
        row("off refused", {"refuse S"}, {"off"}, 1,
            "^zelvan-cli: off on COM1: Peripheral Power OFF failed \\(ERROR: Check");
        row("run: a step fails", one, {"run", "pon\nucfcg1\npoff\n"}, 1, "Automatic Programming: Error");
        row("run: program without --hex", one, {"run", "program\n"}, 1,
            "note: \"program\" with no --hex file: nothing to write");
        row("board dies half-way", {"hang up"}, {"program", kBlink}, 1, "programming stopped: 4 of 8 pages written");
        row("verify not done beside the bootloader", one, {"program", kBesideBootloader, "--verify"}, 1,
            "the image writes into sector 7 \\(1C00H\\), which also holds the bootloader");
        row("erase chip, protected", one, {"erase", "chip"}, 2, "give --no-protect to allow it$");
        row("security of a sector the part lacks", one, {"security", "set", "9", "00"}, 2, "the part has sectors 0..7");
        row("broken HEX file", one, {"program", ZELVAN_TEST_DATA "/bad-checksum.hex"}, 2,
            "bad-checksum.hex, line 5: the checksum is 95");
        row("run: noprotect needs --no-protect", one, {"run", "noprotect\nechip\n"}, 2,
            "give --no-protect to allow it$");
        row("automation file with a typo", one, {"run", "pon\nprogam\n"}, 2, "line 2: \"progam\" is not");
        row("unknown command", one, {"flash"}, 2, "unknown command \"flash\"");
        row("verify failed", {"lose page"}, verifyBlink, 3,
            "^zelvan-cli: program on COM1: verify failed: sector 1 \\(0400H\\) differs");
        row("silent board", {"silent"}, {"info"}, 4, "^zelvan-cli: info on COM1: no programmer board answers");
        row("missing port", {"missing"}, {"info"}, 4,
            "^zelvan-cli: info on COM1: the port cannot be opened: COM1 \\(/nonexistent");
        // Several boards: 0 when all are done, 3 when the only failures are verify failures, 1 otherwise.
        row("two boards done", {"", ""}, verifyBlink, 0, "^COM2: verified 2 CRC\\(s\\)");
        row("two boards, one not done", {"", "refuse page"}, verifyBlink, 1,
            "^zelvan-cli: program on COM2: .*4 of 8 pages written");
        row("two boards, one missing", {"missing", ""}, verifyBlink, 1,
            "^zelvan-cli: program on COM1: the port cannot be opened");
        row("two boards, bad input", {"", ""}, {"erase", "chip"}, 2, "give --no-protect to allow it$");
        row("two boards, one verify failed", {"", "lose page"}, verifyBlink, 3,
            "^zelvan-cli: program on COM2: verify failed");
        row("two boards, verify failed and not done", {"lose page", "refuse page"}, verifyBlink, 1,
            "^zelvan-cli: program on COM1: verify failed");
        const char* const undone =
            "^zelvan-cli: program on COM. interrupted: erasing stopped after 0 of 2 sectors; the rest";
        row("SIGINT", {"stall"}, {"program", kBlink}, 130, undone, SIGINT);
        row("SIGTERM", {"stall"}, {"program", kBlink}, 143, undone, SIGTERM);
        row("SIGINT, two boards", {"stall", "stall"}, {"program", kBlink}, 130, undone, SIGINT);
        row("SIGTERM, two boards", {"stall", "stall"}, {"program", kBlink}, 143, undone, SIGTERM);
        row("no board on any port", {}, {"info", "-p", "all"}, 4,
            "^zelvan-cli: info on COM1..COM8: no programmer board found$");
    }
    void commands() {
        QFETCH(QStringList, faults);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, keyLine);
        QFETCH(int, signal);
        Boards boards(faults);
        for (int i = 0; i < args.size(); ++i) {
            if (args[i].contains('\n'))
                args[i] = writeFile(boards.dir.filePath(QString::number(i)), args[i].toUtf8());
        }
        if (!args.contains("-p"))
            args << "-p" << boards.ports.join(',');

        if (signal != 0) // the wait would outlast the runner's limit, unless the signal ends it
            qputenv("ZELVAN_LINK_TIMING_MS", "1000,120000,200");
        const CliRun run = runCli(args, [&](QProcess& process) {
            for (int com = 1; signal != 0 && com <= faults.size(); ++com)
                QTRY_VERIFY_WITH_TIMEOUT(!boards.work(com).filter(":03000004").isEmpty(), 10000);
            if (signal != 0)
                ::kill(static_cast<pid_t>(process.processId()), signal);
        });

        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(hasLine(exitCode == 0 ? run.out : run.err, keyLine), qPrintable(run.out + run.err));
        QCOMPARE(run.err.count(QRegularExpression("interrupted: ", QRegularExpression::MultilineOption)),
                 signal ? faults.size() : 0);
        for (int com = 1; exitCode == 2 && com <= faults.size(); ++com)
            QCOMPARE(boards.work(com), QStringList()); // refused before anything was written
        if (args.contains("--quick"))
            QVERIFY(!boards.work(1).filter(QRegularExpression("^Q:")).isEmpty()); // pages in quick form
    }

    // One object a board, on one line each, and nothing else.
    void json_data() {
        QTest::addColumn<int>("boards");
        QTest::newRow("one board") << 1;
        QTest::newRow("two boards") << 2;
    }
    void json() {
        QFETCH(int, boards);
        Boards line(QStringList(boards, QString()));
        const CliRun run = runCli({"crc", "sectors", "0-1", "--json", "-p", line.ports.join(',')});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString()); // no progress, no table
        const QStringList objects = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(objects.size(), boards);
        for (int com = 1; com <= boards; ++com) {
            const QJsonObject object = QJsonDocument::fromJson(objects[com - 1].toUtf8()).object();
            QCOMPARE(object["port"].toString(), line.ports[com - 1]);
            QCOMPARE(object["status"].toInt(), 0);
            QCOMPARE(object["result"].toString(), QStringLiteral("done"));
            QCOMPARE(object["part"].toString(), QStringLiteral("LPC932A1"));
            QCOMPARE(object["loader_version"].toString(), QStringLiteral("ZELVAN ICP 2-1"));
            const quint32 crc = line.rig.board(com).withBoard([](sim::BoardModel& b) { return b.sectorCrc(1024); });
            QCOMPARE(object["sectors"][1]["crc"].toString().toUInt(nullptr, 16), crc);
        }
    }

    // A bar redrawn on a terminal for one board; a line at every tenth into a pipe or for several
    // boards; nothing with -q.
    void progress_data() {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<int>("boards");
        QTest::addColumn<QString>("shown");
        QTest::newRow("terminal") << true << 1 << "\rprogramming [";
        QTest::newRow("pipe") << false << 1 << "\nprogramming 50% (4/8 pages)\n";
        QTest::newRow("several boards on a terminal") << true << 2 << "\nCOM2: programming 50% (4/8 pages)\r\n";
    }
    void progress() {
        QFETCH(bool, terminal);
        QFETCH(int, boards);
        QFETCH(QString, shown);
        Boards line(QStringList(boards, QString()));
        const QStringList args{"program", kBlink, "-p", line.ports.join(',')};
        const CliRun run = terminal ? runCliOnTerminal(args) : runCli(args);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(shown), qPrintable(run.err));
        QCOMPARE(run.err.contains(QRegularExpression("\r[^\n]")), shown.startsWith('\r')); // a bar redrawn
        QCOMPARE(runCli(args + QStringList{"-q"}).err, QString());
    }

    void ports() {
        Boards line({""}); // COM2..COM8 name devices that do not exist
        const CliRun run = runCli({"ports"});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 8);
        QVERIFY2(lines[0].startsWith("COM1  " + line.rig.board(1).devicePath()) &&
                     lines[0].endsWith("a board answers: ZELVAN ICP 2-1"),
                 qPrintable(lines[0]));
        QVERIFY2(lines[1].startsWith("COM2  /nonexistent/zelvan-test-com2") && !lines[1].contains("answers"),
                 qPrintable(lines[1]));
    }

    // Against a real board when ZELVAN_TEST_PORT names one: the first user with hardware checks what
    // the simulator assumes.
    void realBoard_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("keyLine");
        QTest::newRow("info") << QStringList{"info"} << "^part ";
        QTest::newRow("erase the first page") << QStringList{"erase", "pages", "0"} << "^erased 1 pages from 0000H$";
        QTest::newRow("program") << QStringList{"program", kBlink} << "^programmed 8 page\\(s\\)";
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
