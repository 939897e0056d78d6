// The serial link over a real pseudo-terminal against the simulated board: opening, the two
// phases of the wait, refusals, stale input and a port that goes away.

#include "support/board_rig.h"
#include "support/session_recorder.h"

#include "link/isp_link.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

enum class WaitEnd { Refused, Silent, NoPort, Vanished, Aborted };

} // namespace

class TestLinkPty : public QObject {
    Q_OBJECT

private slots:
    void opensWithChosenLineSettings_data() {
        QTest::addColumn<bool>("baud9600");
        QTest::addColumn<QString>("settings");
        QTest::newRow("default") << false << "57600,n,8,1";
        QTest::newRow("9600 chosen") << true << "9600,n,8,1";
    }
    void opensWithChosenLineSettings() {
        QFETCH(bool, baud9600);
        QFETCH(QString, settings);
        BoardRig rig;
        rig.place(2, boardFor("LPC932A1"));
        IspLink link;
        link.setBaud9600(baud9600);
        QSignalSpy opened(&link, &IspLink::portOpened);
        link.OpenComPort(2);
        QVERIFY(link.fgPortOpened());
        QCOMPARE(link.lineSettings(), settings);
        QCOMPARE(opened.size(), 1);
    }

    // How the wait for an answer ends, with a record just sent: at a refusal at once; when the
    // board keeps silent only after the whole answer phase; without a port, or once the port
    // vanishes or the link is aborted, at once. Only a refusal sets a flag, and the last answer
    // stays; after a vanished port or an abort nothing more goes out.
    void waitEnds_data() {
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("atLeastMs");
        QTest::addColumn<int>("belowMs"); // the limits are five seconds, but for the silent board
        QTest::newRow("refused") << int(WaitEnd::Refused) << 0 << 2000;
        QTest::newRow("silent board") << int(WaitEnd::Silent) << 400 << 2000;
        QTest::newRow("no open port") << int(WaitEnd::NoPort) << 0 << 1000;
        QTest::newRow("port vanishes") << int(WaitEnd::Vanished) << 0 << 3000;
        QTest::newRow("aborted") << int(WaitEnd::Aborted) << 0 << 1000;
    }
    void waitEnds() {
        QFETCH(int, end);
        QFETCH(int, atLeastMs);
        QFETCH(int, belowMs);
        const WaitEnd how = WaitEnd(end);
        BoardRig rig;
        sim::BoardModel board = boardFor("LPC932A1");
        if (how == WaitEnd::Refused)
            board.faults().rules.push_back(sim::FaultRule::onType(0x03, sim::FaultRule::Action::Refuse));
        else
            board.faults().silent = true;
        sim::PtyBoardServer& server = rig.place(1, std::move(board));
        IspLink link;
        link.setTiming(how == WaitEnd::Silent ? LinkTiming{300ms, 400ms, 150ms} : LinkTiming{5s, 5s, 1s});
        if (how != WaitEnd::NoPort)
            link.OpenComPort(1);
        QSignalSpy lost(&link, &IspLink::portLost);
        if (how == WaitEnd::Vanished)
            QTimer::singleShot(100ms, [&server] { server.vanish(); });
        if (how == WaitEnd::Aborted)
            QTimer::singleShot(100ms, &link, &IspLink::abort);
        QElapsedTimer clock;
        clock.start();

        const IspAnswer answer = link.exchangeRecord(QStringLiteral("0100000310"));

        QVERIFY2(clock.elapsed() >= atLeastMs && clock.elapsed() < belowMs,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(answer.outcome, how == WaitEnd::Refused ? Outcome::Refused : Outcome::NoAnswer);
        QCOMPARE(lost.size(), how == WaitEnd::Vanished ? 1 : 0);
        if (how == WaitEnd::Vanished || how == WaitEnd::Aborted) {
            // The device is gone, or the program is closing: nothing goes out any more, and a
            // closing program opens nothing. (A vanished terminal's number may be taken by another
            // process at once, so reopening it proves nothing.)
            if (how == WaitEnd::Aborted)
                QVERIFY(!link.OpenComPort(1));
            QCOMPARE(link.exchangeRecord(QStringLiteral("0100000310")).outcome, Outcome::NoAnswer);
        }
    }

    void boardNotReadingHoldsTransmitPhase() {
        BoardRig rig;
        sim::PtyBoardServer& server = rig.place(1, boardFor("LPC932A1"));
        server.setStopReading(true);
        IspLink link;
        link.setTiming({300ms, 200ms, 150ms});
        link.OpenComPort(1);
        // More than the line can hold while nobody takes bytes off it: the output backs up.
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(link.exchangeRecord(QString(1 << 20, QLatin1Char('0'))).outcome, Outcome::NoAnswer);
        QVERIFY2(clock.elapsed() >= 500, "both phases must run their whole limits");

        // What never left is given up: once the board reads again, the next record is answered
        // and the old block does not follow it.
        server.setStopReading(false);
        QTest::qWait(100);
        clearReceived(server);
        const IspAnswer answer = link.exchangeRecord(QStringLiteral("0100000312"));
        QVERIFY(answer.acknowledged());
        QCOMPARE(answer.text, QStringLiteral("0100000312EA1F"));
        QTest::qWait(100);
        QCOMPARE(received(server), QStringList{":0100000312EA"});
    }
};

QTEST_GUILESS_MAIN(TestLinkPty)
#include "tst_link_pty.moc"
