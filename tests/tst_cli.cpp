// zelvan-cli end to end: the real executable as a child process against simulated boards on
// pseudo-terminals, one board or several at once, judged by its exit status, its lines, its JSON,
// its records and what reached the boards.

#include "support/board_rig.h"
#include "support/chip_table.h"
#include "support/cli_runner.h"
#include "support/connected_target.h"
#include "support/postgres_server.h"
#include "support/session_recorder.h"

#include "flash/crc_model.h"

#include <QJsonDocument>
#include <QSerialPort>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace zelvan;
using namespace zelvan::test;

namespace {

const QString kBlink = QStringLiteral(ZELVAN_TEST_DATA "/blink.ihx"); // 8 pages in sectors 0 and 1

// The text of an Intel HEX file with 16 bytes (01..10) at each address.
QString hexText(std::initializer_list<int> addresses) {
    QByteArray text;
    for (const int address : addresses)
        text += hexRecords(address, QByteArray::fromHex("0102030405060708090A0B0C0D0E0F10"));
    return QString::fromLatin1(text + kHexEnd);
}

// Boards with the LPC932A1 on COM1, COM2, ..., each with a fault: "" none, "silent", "missing" (no
// board on the port), "refuse id", "refuse S" (power off), "refuse page" (the 5th), "lose page"
// (the 7th is acknowledged but not written: a verify fails), "hang up" (the board dies after 4
// pages), "stall" (nothing answered after the identification), "uncatalogued" (a part with ids 15
// DD 77), "in use" (the port held open by this test).
struct Boards {
    BoardRig rig;
    QTemporaryDir dir;
    QString ports;
    std::vector<std::unique_ptr<QSerialPort>> held;

    explicit Boards(const QStringList& faults) {
        using Rule = sim::FaultRule;
        for (int com = 1; com <= faults.size(); ++com) {
            ports += QStringLiteral(",COM%1").arg(com).mid(com == 1 ? 1 : 0);
            const QString& fault = faults[com - 1];
            sim::BoardModel model = fault == "uncatalogued"
                                        ? sim::BoardModel({0x15, 0xDD, 0x77}, boardFor("LPC932A1").geometry())
                                        : boardFor("LPC932A1");
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
            if (fault == "in use") {
                held.push_back(std::make_unique<QSerialPort>(rig.board(com).devicePath()));
                if (!held.back()->open(QIODevice::ReadWrite))
                    qFatal("the port of COM%d does not open", com);
            }
        }
    }
    // What reached the board on COMn besides connecting and identifying.
    QStringList work(int com) {
        static const QRegularExpression connecting("^(U|:00000001FF|:010000031[0-2]..)$");
        QStringList sent = received(rig.board(com));
        sent.removeIf([](const QString& record) { return connecting.match(record).hasMatch(); });
        return sent;
    }
    template <typename F> auto with(int com, F&& f) { return rig.board(com).withBoard(std::forward<F>(f)); }
};

} // namespace

class TestCli : public QObject {
    Q_OBJECT

    QTemporaryDir home_; // settings and spool of the child processes
    QString image_;      // 64 pages of varied bytes in sectors 0..3
    QByteArray imageBytes_;

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", home_.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", home_.filePath("data").toLocal8Bit());
        image_ = home_.filePath("image.hex");
        imageBytes_ = writeRandomHexImage(image_, 4096, 4096);
    }
    void init() {
        qputenv("ZELVAN_LINK_TIMING_MS", "1000,1000,200");
        QFile::remove(home_.filePath("config/Zelvan/Zelvan Programmer.conf")); // no formulation calibrated
    }

    // The exit status and the key line of each command, on one board and on several: 0 done, 1 not
    // done, 2 bad input and 4 no board (nothing written), 3 verify failed, 130 and 143 a signal once
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
        const QStringList verify{"program", kBlink, "--verify"};
        row("info", one, {"info"}, 0, "^part +Philips LPC932A1 \\(1Kb");
        row("ports", one, {"ports"}, 0,
            "^COM1  /dev/pts/\\d+ +a board answers: ZELVAN ICP 2-1\n"
            "COM2  /nonexistent/\\S+ +No such file.*\n(.*\n){5}COM8 ");
        row("icp", one, {"icp"}, 0, "^Peripheral ICP Mode: Done$");
        row("erase pages", one, {"erase", "pages", "2-3"}, 0, "^erased 2 pages from 0080H$");
        row("erase sectors", one, {"erase", "sectors"}, 0, "^erased 7 sectors from 0000H; 1C00H and up kept for");
        row("erase chip", one, {"erase", "chip", "--no-protect"}, 0, "^chip erased$");
        row("crc global", one, {"crc"}, 0, "^global CRC [0-9A-F]{8}$");
        row("crc sectors by address", one, {"crc", "sectors", "0x0400-0x0800"}, 0, "^sector  2 0800-0BFF CRC \\w{8}$");
        row("config get", one, {"config", "get", "ucfg1"}, 0, "^ucfg1 63$");
        row("config set", one, {"config", "set", "bootv", "1C"}, 0, "^bootv set to 1C$");
        row("security get", one, {"security", "get", "1"}, 0, "^sector  1 security 00$");
        row("security set", one, {"security", "set", "2", "7f"}, 0, "^sector 2 security set to 7f$");
        row("ccp", one, {"ccp"}, 0, "^configuration protection cleared$");
        row("run", one, {"run", "pon\n# note\ngcrc\npoff\n"}, 0, "^Automatic Programming: Done$");
        row("program --quick", one, {"program", kBlink, "--quick"}, 0,
            "^programmed 8 page.s. .2 sector.s. erased first.$");
        row("serial number with -q", one, {"program", kBlink, "--serial", "0x1000:2", "--serial-file", "7\n", "-q"}, 0,
            "^serial number 7$");
        row("program --verify", one, verify, 0, "^verified 2 CRC.s. against the image .left-low-plain-up-zero.$");
        row("refused record", {"refuse id"}, {"info"}, 1,
            "^zelvan-cli: info on COM1: the target's identification could");
        row("off refused", {"refuse S"}, {"off"}, 1, "^zelvan-cli: off on COM1: Peripheral Power OFF failed");
        row("run: a step fails", one, {"run", "pon\nucfcg1\npoff\n"}, 1, "Automatic Programming: Error");
        row("run: program without --hex", one, {"run", "program\n"}, 1, "note: \"program\" with no --hex file");
        row("board dies half-way", {"hang up"}, {"program", kBlink}, 1, "programming stopped: 4 of 8 pages written");
        row("erase chip, protected", one, {"erase", "chip"}, 2, "give --no-protect to allow it$");
        row("security of a sector the part lacks", one, {"security", "set", "9", "00"}, 2, "the part has sectors 0..7");
        row("broken HEX file", one, {"program", ZELVAN_TEST_DATA "/bad-checksum.hex"}, 2, "line 5: the checksum is 95");
        row("run: noprotect needs --no-protect", one, {"run", "noprotect\nechip\n"}, 2, "give --no-protect to allow");
        row("automation file with a typo", one, {"run", "pon\nprogam\n"}, 2, "line 2: \"progam\" is not");
        row("unknown command", one, {"flash"}, 2, "unknown command \"flash\"");
        row("image beyond the flash", one, {"program", hexText({0x0000, 0x2000})}, 2,
            "writes at 2000H, outside the LPC932A1's 8192 bytes of flash .give --truncate");
        row("--truncate takes what fits", one, {"program", hexText({0x0000, 0x2000}), "--truncate"}, 0,
            "^programmed 1 page.s. .1 sector.s. erased first.$");
        row("nothing for the part", one, {"program", hexText({0x2000}), "--truncate"}, 2,
            "holds nothing for the LPC932A1's 8192 bytes of flash");
        row("uncatalogued part, program", {"uncatalogued"}, {"program", kBlink}, 1,
            "the part's ids 15 DD 77 are not in the catalogue: its flash layout is not known");
        row("uncatalogued part, info", {"uncatalogued"}, {"info"}, 0, "^ids +15 DD 77$");
        row("verify of the bootloader's sector", one, {"verify", hexText({0x1D00})}, 1,
            "writes into sector 7 .1C00H., which also holds the bootloader: no CRC computed");
        row("serial number file of garbage", one, {"program", kBlink, "--serial", "0x1000:2", "--serial-file", "x\n"},
            2, "serial number file .* does not hold a decimal number");
        row("serial number over the code", one, {"program", kBlink, "--serial", "0x0010:2", "--serial-file", "5\n"}, 2,
            "the serial number at 0010H..0011H would overwrite bytes the files write there");
        row("record to an unknown kind of server", one, {"info", "--record", "mysql://db/chips"}, 2, "--record mysql:");
        row("records without --record", one, {"records"}, 2, "name the destinations with --record DEST");
        row("records", one, {"records", "--record", home_.filePath("records.jsonl")}, 0,
            "no record waits in the spool");
        row("a port past COM8", one, {"info", "-p", "COM9"}, 2, "the ports are COM1..COM8, or a device path");
        row("a mistyped command", one, {"inof"}, 2, "unknown command \"inof\": did you mean \"info\"\\?");
        row("a mistyped option", one, {"info", "--jsno"}, 2, "unknown option \"--jsno\": did you mean \"--json\"\\?");
        row("port in use", {"in use"}, {"info"}, 4, "in use by another program .tst_cli, process [0-9]+.; try again");
        row("verify failed", {"lose page"}, verify, 3, "^zelvan-cli: program on COM1: verify failed: sector 1 .0400H.");
        row("silent board", {"silent"}, {"info"}, 4, "^zelvan-cli: info on COM1: no programmer board answers");
        row("missing port", {"missing"}, {"info"}, 4, "on COM1: the port cannot be opened: COM1 ./nonexistent");
        // Several boards: 0 when all are done, 3 when the only failures are verify failures, 1 otherwise.
        row("two boards done", {"", ""}, verify, 0, "^COM2: verified 2 CRC");
        row("two boards, one not done", {"", "refuse page"}, verify, 1, "on COM2: .*4 of 8 pages written");
        row("two boards, one missing", {"missing", ""}, verify, 1, "on COM1: the port cannot be opened");
        row("two boards, both missing", {"missing", "missing"}, verify, 4, "on COM2: the port cannot be opened");
        row("two boards, bad input", {"", ""}, {"erase", "chip"}, 2, "give --no-protect to allow it$");
        row("two boards, one verify failed", {"", "lose page"}, verify, 3, "on COM2: verify failed");
        row("two boards, verify failed and not done", {"lose page", "refuse page"}, verify, 1,
            "on COM1: verify failed");
        row("two boards, one missing, --boards 2", {"", "missing"}, {"program", kBlink, "--boards", "2"}, 4,
            "1 board.s. answer .COM1. where --boards 2 asks for 2; nothing was written$");
        row("no board on any port", {}, {"info", "-p", "all"}, 4, "on COM1..COM8: no programmer board found$");
        row("station without a board", {"missing"}, {"station", "program", kBlink}, 4,
            "^zelvan-cli: station on COM1: the port cannot be opened");
        row("station, one board missing, --boards 2", {"", "missing"}, {"station", "program", kBlink, "--boards", "2"},
            4, "1 board.s. answer .COM1. where --boards 2 asks for 2; nothing was written$");
        const char* const undone = "on COM. interrupted: erasing stopped after 0 of 2 sectors; the rest";
        row("SIGINT", {"stall"}, {"program", kBlink}, 130, undone, SIGINT);
        row("SIGTERM", {"stall"}, {"program", kBlink}, 143, undone, SIGTERM);
        row("SIGINT, two boards", {"stall", "stall"}, {"program", kBlink}, 130, undone, SIGINT);
        row("SIGINT, the other board failed first", {"refuse page", "stall"}, {"program", kBlink}, 130, undone, SIGINT);
        row("SIGTERM, two boards", {"stall", "stall"}, {"program", kBlink}, 143, undone, SIGTERM);
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
            args << "-p" << boards.ports;
        if (signal != 0) // the wait would outlast the runner's limit, unless the signal ends it
            qputenv("ZELVAN_LINK_TIMING_MS", "1000,120000,200");

        const CliRun run = runCli(args, [&](QProcess& process) {
            // A stalling board is interrupted in its erase; a refusing one has failed before the signal.
            for (int com = 1; signal != 0 && com <= faults.size(); ++com)
                QTRY_VERIFY_WITH_TIMEOUT(!boards.work(com).filter(":03000004").isEmpty(), 10000);
            if (signal != 0 && faults.contains("refuse page"))
                QTest::qWait(500);
            if (signal != 0)
                ::kill(static_cast<pid_t>(process.processId()), signal);
        });

        QCOMPARE(run.exitCode, exitCode);
        const QRegularExpression key(keyLine, QRegularExpression::MultilineOption);
        QVERIFY2(key.match(exitCode == 0 ? run.out : run.err).hasMatch(), qPrintable(run.out + run.err));
        QCOMPARE(run.err.count(QRegularExpression("interrupted: ")), signal ? faults.count("stall") : 0);
        for (int com = 1; (exitCode == 2 || exitCode == 4) && com <= faults.size(); ++com) {
            if (faults[com - 1] != "missing")
                QCOMPARE(boards.work(com), QStringList()); // nothing written
        }
        if (args.contains("--quick"))
            QVERIFY(!boards.work(1).filter(QRegularExpression("^Q:")).isEmpty()); // pages in quick form
    }

    // One object a board, on one line each, and nothing else.
    void json() {
        Boards boards({"", ""});
        const CliRun run = runCli({"crc", "sectors", "0-1", "--json", "-p", boards.ports});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString()); // no progress, no table
        const QStringList objects = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(objects.size(), 2);
        for (int com = 1; com <= 2; ++com) {
            const QJsonObject object = QJsonDocument::fromJson(objects[com - 1].toUtf8()).object();
            QCOMPARE(object["port"].toString(), QStringLiteral("COM%1").arg(com));
            QCOMPARE(object["status"].toInt(), 0);
            QCOMPARE(object["result"].toString(), QStringLiteral("done"));
            QCOMPARE(object["part"].toString(), QStringLiteral("LPC932A1"));
            QCOMPARE(object["loader_version"].toString(), QStringLiteral("ZELVAN ICP 2-1"));
            const quint32 crc = boards.with(com, [](sim::BoardModel& b) { return b.sectorCrc(1024); });
            QCOMPARE(object["sectors"][1]["crc"].toString().toUInt(nullptr, 16), crc);
        }
    }

    // On a terminal a bar redrawn for one board, or the line of each board redrawn in place; a line
    // at every tenth into a pipe; nothing with -q.
    void progress_data() {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QStringList>("boards");
        QTest::addColumn<QString>("shown");
        QTest::newRow("terminal") << true << QStringList{""} << "\rprogramming [";
        QTest::newRow("pipe") << false << QStringList{""} << "\nprogramming 50% (4/8 pages)\n";
        QTest::newRow("two boards on a terminal") << true << QStringList{"", ""} << "\x1b[2A\r\x1b[JCOM";
        QTest::newRow("two boards into a pipe") << false << QStringList{"", ""} << "\nCOM2: programming 50% (4/8";
    }
    void progress() {
        QFETCH(bool, terminal);
        QFETCH(QStringList, boards);
        QFETCH(QString, shown);
        Boards line(boards);
        const QStringList args{"program", kBlink, "-p", line.ports};
        const CliRun run = terminal ? runCliOnTerminal(args) : runCli(args);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(shown), qPrintable(run.err));
        QCOMPARE(run.err.contains(QRegularExpression("\r[^\n]")), terminal); // redrawn
        QCOMPARE(runCli(args + QStringList{"-q"}).err, QString());
    }

    // What users of other programmers' command lines expect: -v shows the wire, -vv its timing too;
    // "-" reads the image from standard input; the simulated chip is kept from one run to the next
    // until --simulator-reset; a time limit that is no number is refused before anything is sent.
    void conventions() {
        Boards boards({""});
        const CliRun wire = runCli({"icp", "-v", "-p", "COM1"});
        QVERIFY2(wire.err.contains(" COM1 -> :00000001FF") && !wire.err.contains(" timing: "), qPrintable(wire.err));
        QVERIFY(runCli({"icp", "-vv", "-p", "COM1"}).err.contains(" COM1 timing: "));
        const CliRun piped = runCli({"program", "-", "-p", "COM1"}, [](QProcess& process) {
            process.write(fixtureBytes("blink.ihx"));
            process.closeWriteChannel();
        });
        QVERIFY2(piped.out.startsWith("programmed 8 page(s)"), qPrintable(piped.out + piped.err));

        const QStringList verify{"verify", kBlink, "--crc-variant", defaultCrcVariant().name, "--simulator"};
        qputenv("XDG_CACHE_HOME", home_.filePath("cache").toLocal8Bit());
        QCOMPARE(runCli({"program", kBlink, "--simulator", "--simulator-reset"}).exitCode, 0);
        QCOMPARE(runCli(verify).exitCode, 0);
        QCOMPARE(runCli(verify + QStringList{"--simulator-reset"}).exitCode, 3);

        qputenv("ZELVAN_LINK_TIMING_MS", "abc");
        const CliRun badTiming = runCli({"erase", "pages", "0", "-p", "COM1"});
        QCOMPARE(badTiming.exitCode, 2);
        QVERIFY2(badTiming.err.contains("ZELVAN_LINK_TIMING_MS"), qPrintable(badTiming.err));
        QCOMPARE(boards.work(1).filter(QRegularExpression("^:0[0-9A-F]{6}04")), QStringList()); // no erase
    }

    // --changed-only sends the sectors whose CRC differs from the image's (one changed in the file,
    // one corrupted on the chip) and leaves the others; without a formulation it cannot tell, and
    // sends every sector. Either way the chip ends holding the image.
    void changedOnly_data() {
        QTest::addColumn<QStringList>("formulation");
        QTest::addColumn<QList<int>>("sectorsSent");
        QTest::newRow("formulation chosen")
            << QStringList{"--crc-variant", defaultCrcVariant().name} << QList<int>{0, 2};
        QTest::newRow("no formulation") << QStringList{} << QList<int>{0, 1, 2, 3};
    }
    void changedOnly() {
        QFETCH(QStringList, formulation);
        QFETCH(QList<int>, sectorsSent);
        Boards boards({""});
        QCOMPARE(runCli({"program", image_, "-p", "COM1"}).exitCode, 0);
        QByteArray changed = imageBytes_;
        changed[2148] = char(changed[2148] ^ 0x5A);
        const QString path = writeFile(boards.dir.filePath("changed.hex"), hexRecords(0, changed) + kHexEnd);
        boards.with(1, [](sim::BoardModel& b) {
            b.flash()[5] = char(b.flash()[5] ^ 1);
            b.clearReceived();
        });

        const CliRun run = runCli(QStringList{"program", path, "--changed-only", "-p", "COM1"} + formulation);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("; %1 sector(s) sent, %2 already right")
                                      .arg(sectorsSent.size())
                                      .arg(4 - sectorsSent.size())),
                 qPrintable(run.out + run.err));
        QList<int> sectors; // of the pages written
        for (const QString& page : boards.work(1).filter(QRegularExpression("^:40")))
            if (const int sector = page.mid(3, 4).toInt(nullptr, 16) / 1024; !sectors.contains(sector))
                sectors.append(sector);
        QCOMPARE(sectors, sectorsSent);
        QCOMPARE(flashOf(boards.rig.board(1)).left(4096), changed);
    }

    // A station on two boards programs each chip put in, gives each its own serial number and record,
    // leaves a chip that failed alone until it is taken out, goes on when one board is lost, and
    // ends on Ctrl-C with each board's totals.
    void station() {
        Boards boards({"", ""});
        const QString jsonl = home_.filePath("station.jsonl");
        const auto recorded = [&jsonl](int com) {
            const QList<QJsonObject> lines = jsonLines(jsonl);
            return std::count_if(lines.begin(), lines.end(), [com](const QJsonObject& line) {
                return line["port"] == QStringLiteral("COM%1").arg(com);
            });
        };
        // A new chip goes in once the station has seen the socket empty: three id reads after the
        // removal, all answered FF, and a record after them (it has moved on to the next look).
        const auto sawEmpty = [](const QStringList& sent) {
            const qsizetype first = sent.indexOf(QStringLiteral(":0100000310EC"));
            return first >= 0 && sent.size() > first + 3 && sent[first + 1] == ":0100000311EB" &&
                   sent[first + 2] == ":0100000312EA";
        };
        const auto swapChip = [&boards, &sawEmpty](int com) {
            boards.with(com, [](sim::BoardModel& b) {
                b.removeChip();
                b.clearReceived();
            });
            QTRY_VERIFY(sawEmpty(received(boards.rig.board(com))));
            boards.with(com, [](sim::BoardModel& b) { b.insertChip(); });
        };
        const auto play = [&] {
            for (int chip = 1; chip <= 3; ++chip) {
                for (int com = 1; com <= 2; ++com) {
                    QTRY_COMPARE_WITH_TIMEOUT(recorded(com), chip, 20000);
                    if (chip < 3 || com == 2)
                        swapChip(com);
                }
            }
            QTRY_COMPARE(recorded(2), 4);
            // COM2's fourth chip takes its pages without keeping them (verify fails); left in, it is
            // only looked at, never written again.
            boards.with(2, [](sim::BoardModel& b) {
                b.faults().rules.push_back(sim::FaultRule::onType(0x00, sim::FaultRule::Action::Ignore));
            });
            swapChip(2);
            QTRY_COMPARE_WITH_TIMEOUT(recorded(2), 5, 20000);
            boards.with(2, [](sim::BoardModel& b) { b.clearReceived(); });
            QTest::qWait(3 * 500);
            QCOMPARE(boards.work(2), QStringList());
            boards.with(1, [](sim::BoardModel& b) { b.faults().silent = true; }); // COM1 is lost
            QTest::qWait(3000);                                                   // its answer time limit runs out
        };
        const CliRun run = runCli({"station", "program", image_, "--verify", "--serial", "0x1000:2", "--serial-file",
                                   home_.filePath("station-serials.txt"), "--record", jsonl, "-p", boards.ports},
                                  [&](QProcess& process) {
                                      play();
                                      ::kill(static_cast<pid_t>(process.processId()), SIGINT);
                                  });
        QCOMPARE(run.exitCode, 130);
        QVERIFY2(run.out.contains("COM1: 3 passed, 0 failed, lost\n") && run.out.contains("COM2: 4 passed, 1 failed\n"),
                 qPrintable(run.out + run.err));
        QVERIFY2(run.err.contains("zelvan-cli: station on COM1: lost: "), qPrintable(run.err));
        QList<qint64> numbers;
        QList<int> statuses;
        for (const QJsonObject& line : jsonLines(jsonl)) {
            QCOMPARE(line["serial_void"].toBool(), line["exit_status"].toInt() != 0);
            numbers.append(line["serial_number"].toInteger());
            statuses.append(line["exit_status"].toInt());
        }
        QCOMPARE(statuses.count(3), 1); // the failed chip's record says how, as program's does
        std::sort(numbers.begin(), numbers.end());
        QCOMPARE(numbers, (QList<qint64>{1, 2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(flashOf(boards.rig.board(1)).left(4096), imageBytes_); // COM1's last chip, a good one
    }

    // Calibrating a programmed chip stores its formulation, which verify then uses unless
    // --crc-variant names another; a chip whose formulation is outside the table stores nothing.
    void calibrate_data() {
        QTest::addColumn<QString>("variant"); // the chip's; empty: outside the table
        QTest::newRow("a formulation of the table") << "right-low-plain-up-zero";
        QTest::newRow("outside the table") << QString();
    }
    void calibrate() {
        QFETCH(QString, variant);
        Boards boards({""});
        CrcVariant formulation = variant.isEmpty() ? defaultCrcVariant() : *findCrcVariant(variant);
        if (variant.isEmpty())
            formulation.polynomial = 0x04C11DB7u;
        boards.with(1, [&](sim::BoardModel& b) { b.setCrcVariant(formulation); });
        QCOMPARE(runCli({"program", image_, "-p", "COM1"}).exitCode, 0);

        const CliRun run = runCli({"crc", "calibrate", image_, "-p", "COM1"});
        QCOMPARE(run.exitCode, variant.isEmpty() ? 1 : 0);
        QVERIFY2(run.out.contains("calibrated: the chip's CRCs are " + variant + "; stored for verify") ||
                     (variant.isEmpty() && run.err.contains("no formulation of the signature matches")),
                 qPrintable(run.out + run.err));
        const QString settings = home_.filePath("config/Zelvan/Zelvan Programmer.conf");
        QCOMPARE(QSettings(settings, QSettings::IniFormat).value("crc/variant").toString(), variant);
        QCOMPARE(runCli({"verify", image_, "-p", "COM1"}).exitCode, variant.isEmpty() ? 3 : 0);
        const QStringList another{"--crc-variant", defaultCrcVariant().name};
        QCOMPARE(runCli(QStringList{"verify", image_, "-p", "COM1"} + another).exitCode, 3);
    }

    // Golden CRCs saved from a good chip check another without a formulation; a file of another part
    // is bad input.
    void golden() {
        Boards boards({"", ""});
        boards.rig.place(3, boardFor("LPC936"));
        const QString golden = home_.filePath("golden.json");
        const QString other = home_.filePath("golden-936.json");
        QCOMPARE(runCli({"program", image_, "-p", "COM1"}).exitCode, 0);
        QCOMPARE(runCli({"crc", "sectors", "--save", golden, "-p", "COM1"}).exitCode, 0);
        QCOMPARE(runCli({"crc", "sectors", "--save", other, "-p", "COM3"}).exitCode, 0);

        const CliRun good = runCli({"program", image_, "--golden", golden, "-p", "COM2"});
        QCOMPARE(good.exitCode, 0);
        QVERIFY2(good.out.contains("verified 9 CRC(s) against the golden CRCs"), qPrintable(good.out + good.err));
        // A serial number from sector 2 into sector 3: those two differ from the golden chip's and
        // are checked against the image, with the formulation chosen; without one nothing is sent.
        const QString blinkGolden = home_.filePath("golden-blink.json");
        QCOMPARE(runCli({"program", kBlink, "-p", "COM1"}).exitCode, 0);
        QCOMPARE(runCli({"crc", "sectors", "--save", blinkGolden, "-p", "COM1"}).exitCode, 0);
        const QStringList serial{"program", kBlink,     "--golden", blinkGolden,     "-p",
                                 "COM2",    "--serial", "0x0BFE:4", "--serial-file", home_.filePath("serial")};
        const CliRun numbered = runCli(serial + QStringList{"--crc-variant", "left-low-plain-up-zero"});
        QVERIFY2(numbered.exitCode == 0, qPrintable(numbered.err));
        const CliRun otherFormulation = runCli(serial + QStringList{"--crc-variant", "right-low-plain-up-zero"});
        QCOMPARE(otherFormulation.exitCode, 3);
        QVERIFY2(otherFormulation.err.contains("verify failed: sector 3 (0C00H) differs"),
                 qPrintable(otherFormulation.err));
        const CliRun noFormulation = runCli(serial);
        QCOMPARE(noFormulation.exitCode, 2);
        QVERIFY(noFormulation.err.contains("--golden cannot check the sectors that hold each chip's own serial"));
        const CliRun wrongPart = runCli({"verify", image_, "--golden", other, "-p", "COM2"});
        QCOMPARE(wrongPart.exitCode, 2);
        QVERIFY(wrongPart.err.contains("the golden CRCs are those of an LPC936; this part is an LPC932A1"));
    }

    // Eight boards at once, one silent from the start and one that refuses its 5th page, taking
    // serial numbers from one file in port order: the other six are done with numbers of their own,
    // and the table and the records (JSON lines and SQLite alike) say which board failed and why,
    // and that the number the failed chip took is void.
    void gang() {
        Boards boards({"", "", "silent", "", "", "refuse page", "", ""});
        const QString jsonl = home_.filePath("gang.jsonl");
        const QString sqlite = "sqlite:" + home_.filePath("gang.db");
        const CliRun run =
            runCli({"program", image_, "--verify", "--serial", "0x1000:2", "--serial-file",
                    home_.filePath("serials.txt"), "--record", jsonl, "--record", sqlite, "-p", boards.ports});

        QCOMPARE(run.exitCode, 1);
        const QStringList table = run.out.split('\n').filter(QRegularExpression("^COM[1-8] "));
        QCOMPARE(table.size(), 8);
        QCOMPARE(table.filter(QRegularExpression("LPC932A1 +done +[0-9.]+ s  5 +[0-9]+$")).size(), 6);
        QVERIFY(table[2].contains("failed (4)"));
        QVERIFY(table[5].contains("failed (1)"));
        QVERIFY2(run.err.contains("COM6: programming stopped: 4 of 65 pages written"), qPrintable(run.err));
        QVERIFY2(run.out.contains("\nCOM4: serial number 3\n"), qPrintable(run.out));

        QStringList ids; // of the SQLite rows, each to be found once among the JSON lines
        for (const QSqlRecord& row : chipTableRows(sqlite))
            ids.append(row.value("id").toString());
        for (const QJsonObject& line : jsonLines(jsonl)) {
            QVERIFY(ids.removeOne(line["id"].toString()));
            const int com = line["port"].toString().mid(3).toInt();
            const qint64 number = line["serial_number"].toInteger(-1); // in port order; COM3 took none
            QCOMPARE(number, com < 3 ? com : com == 3 ? -1 : com - 1);
            QCOMPARE(line["exit_status"].toInt(), com == 3 ? 4 : com == 6 ? 1 : 0);
            QCOMPARE(line["error"].toString().isEmpty(), com != 3 && com != 6);
            QCOMPARE(line["serial_void"].toBool(), com == 6);
            const QByteArray flash = flashOf(boards.rig.board(com));
            if (com != 3 && com != 6) // the image, and the number at its place
                QCOMPARE(flash.left(4096) + flash.mid(4096, 2).toHex(),
                         imageBytes_ + QByteArray::number(number, 16).rightJustified(4, '0'));
        }
        QVERIFY(ids.isEmpty());
    }

    // A line of stations writing to one server: the rows of two runs at once arrive; with the server
    // down a run still ends done, its record waits in the spool and arrives with the next run.
    void postgresql() {
        if (qEnvironmentVariableIsSet("ZELVAN_SKIP_POSTGRES"))
            QSKIP("ZELVAN_SKIP_POSTGRES is set");
        PostgresServer server;
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        Boards boards(QStringList(4, QString()));
        const QStringList args{"info", "--record", server.destination(), "-p"};
        QProcess first;
        first.start(QStringLiteral(ZELVAN_CLI), args + QStringList{"COM1,COM2"});
        QCOMPARE(runCli(args + QStringList{"COM3,COM4"}).exitCode, 0);
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(chipTableRows(server.destination()).size(), 4);

        QVERIFY2(server.stop(&error), qPrintable(error));
        const CliRun whileDown = runCli(args + QStringList{"COM1"});
        QCOMPARE(whileDown.exitCode, 0);
        QVERIFY2(whileDown.err.contains(home_.filePath("data/zelvan-cli/record-spool/")) && // where it waits
                     whileDown.err.contains("it is kept and sent with the next one"),
                 qPrintable(whileDown.err));
        QVERIFY2(server.start(&error), qPrintable(error));
        QCOMPARE(runCli(args + QStringList{"COM2"}).exitCode, 0);
        QCOMPARE(chipTableRows(server.destination()).size(), 6);
    }

    // Against a real board when ZELVAN_TEST_PORT names one: the first user with hardware checks what
    // the simulator assumes.
    void realBoard() {
        const QString port = qEnvironmentVariable("ZELVAN_TEST_PORT");
        if (port.isEmpty())
            QSKIP("no real board: ZELVAN_TEST_PORT names none");
        for (const QStringList& args : {QStringList{"info"}, {"erase", "pages", "0"}, {"program", kBlink}, {"crc"}})
            QCOMPARE(runCli(args + QStringList{"-p", port}).exitCode, 0);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
