// One automation run under both faces: the same file through the window's Auto Program and through
// zelvan-cli run, against the same simulated board, gives the same verdict, the same records on the
// wire and the same flash.

#include "support/cli_runner.h"
#include "support/connected_target.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

// A page of code at 0000H and one inside the LPC932A1's bootloader area at 1E00H.
const QByteArray kBesideBootloader = ":0400000001020304F2\n:041E000005060708C4\n:00000001FF\n";

enum class Stop { No, AtFirstErase };

struct Row {
    QByteArray file;
    QByteArray hex; // the firmware loaded / given with --hex; empty: none
    std::optional<sim::FaultRule> rule;
    Stop stop = Stop::No;
};

// What a run did: its verdict, the records it sent (the connection and identification records
// left out: the window has identified the part before, the command line does it when a keyword
// first needs it), the flash after it, and whether the user was told of pages protection kept.
struct RunOutcome {
    bool done = false;
    QStringList sent;
    QByteArray flash;
    bool noticed = false;
    QString said; // the boxes the window showed; what the command line wrote to stderr
};

sim::BoardModel board(const Row& row) {
    sim::BoardModel model = boardFor("LPC932A1");
    model.flash().replace(0, 0x1E00, QByteArray(0x1E00, '\xAA'));
    model.times().sectorErase = 300ms;
    if (row.rule)
        model.faults().rules.push_back(*row.rule);
    return model;
}

QStringList runRecords(QStringList sent) {
    static const QStringList kConnection{"U", ":00000001FF", ":0100000310EC", ":0100000311EB", ":0100000312EA"};
    sent.removeIf([](const QString& record) { return kConnection.contains(record); });
    return sent;
}

// Stops the run once the board has received its first sector erase.
void stopAtFirstErase(sim::PtyBoardServer& server, const std::function<void()>& stop) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [&server, stop, poll] {
        if (received(server).filter(":03000004").isEmpty())
            return;
        stop();
        poll->deleteLater();
    });
    poll->start(5);
}

RunOutcome inWindow(const Row& row, QTemporaryDir& dir) {
    ConnectedTarget target("LPC932A1", ConnectedTarget::Start::NoBoard);
    target.board = &target.rig.place(1, board(row));
    target.session.click(Command::AutoConnect);
    if (!row.hex.isEmpty())
        target.loadFirmware(writeFile(dir.filePath("window.hex"), row.hex));
    target.dialogs.fileAnswers = {writeFile(dir.filePath("window.cfg"), row.file)};
    target.session.chooseLoadAutomationFile();
    target.forget();
    if (row.stop == Stop::AtFirstErase)
        stopAtFirstErase(*target.board, [&target] { target.session.requestStop(); });
    target.session.click(Command::AutoProcedure);
    const QString notice = QStringLiteral("page(s) of the firmware lie in the bootloader area");
    QString boxes;
    for (const FakeDialogs::Box& box : target.dialogs.boxes)
        boxes += box.text + '\n';
    return {target.session.statusText() == QLatin1String("Automatic Programming: Done"), target.sent(), target.flash(),
            !target.record.statuses.filter(notice).isEmpty(), boxes};
}

RunOutcome onCommandLine(const Row& row, QTemporaryDir& dir) {
    BoardRig rig;
    sim::PtyBoardServer& server = rig.place(1, board(row));
    QStringList args{"run", writeFile(dir.filePath("cli.cfg"), row.file), "-p", "COM1"};
    if (row.file.contains("noprotect"))
        args << "--no-protect";
    if (!row.hex.isEmpty())
        args << "--hex" << writeFile(dir.filePath("cli.hex"), row.hex);
    const CliRun run = runCli(args, [&](QProcess& process) {
        if (row.stop == Stop::AtFirstErase) {
            QTRY_VERIFY_WITH_TIMEOUT(!received(server).filter(":03000004").isEmpty(), 10000);
            ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        }
    });
    return {run.exitCode == 0, runRecords(received(server)), flashOf(server),
            run.err.contains("page(s) of the firmware lie in the bootloader area"), run.err};
}

} // namespace

Q_DECLARE_METATYPE(Row)

class TestAutomationFaces : public QObject {
    Q_OBJECT

private slots:
    void sameRunUnderBothFaces_data() {
        QTest::addColumn<Row>("row");
        QTest::addColumn<bool>("done");
        const auto refused = [](int type) { return sim::FaultRule::onType(type, sim::FaultRule::Action::Refuse); };
        QTest::newRow("epage, noprotect, echip: the pages below the bootloader, then everything")
            << Row{"epage\nnoprotect\nechip\n", {}, {}, Stop::No} << true;
        QTest::newRow("protect, echip: refused, nothing sent") << Row{"protect\nechip\n", {}, {}, Stop::No} << false;
        QTest::newRow("program with nothing loaded") << Row{"pon\nprogram\npoff\n", {}, {}, Stop::No} << false;
        QTest::newRow("a refused step, the run goes on")
            << Row{"pon\ngcrc\npoff\n", {}, refused(0x06), Stop::No} << false;
        QTest::newRow("stopped during an erase")
            << Row{"pon\nnoprotect\nesector\npoff\n", {}, {}, Stop::AtFirstErase} << false;
        QTest::newRow("program into the bootloader area: the page there is kept back, and said so")
            << Row{"program\n", kBesideBootloader, {}, Stop::No} << true;
    }
    void sameRunUnderBothFaces() {
        QFETCH(Row, row);
        QFETCH(bool, done);
        QTemporaryDir dir;
        const RunOutcome window = inWindow(row, dir);
        const RunOutcome commandLine = onCommandLine(row, dir);
        QCOMPARE(window.done, done);
        QCOMPARE(commandLine.done, done);
        QCOMPARE(commandLine.sent, window.sent);
        QVERIFY(commandLine.flash == window.flash);
        QCOMPARE(window.noticed, !row.hex.isEmpty());
        QCOMPARE(commandLine.noticed, !row.hex.isEmpty());
        // A run stopped in the middle of a line names that line, not the one after it.
        if (row.stop == Stop::AtFirstErase) {
            QVERIFY2(window.said.contains("ine 3 was interrupted, and the lines after it were not run"),
                     qPrintable(window.said));
            QVERIFY2(commandLine.said.contains("line 3 was interrupted"), qPrintable(commandLine.said));
        }
    }
};

QTEST_GUILESS_MAIN(TestAutomationFaces)
#include "tst_automation_faces.moc"
