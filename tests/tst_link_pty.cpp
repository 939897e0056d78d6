// The serial link over a real pseudo-terminal against the simulated board: opening, the two
// phases of the wait, refusals, stale input and a port that goes away.

#include "support/board_rig.h"

#include "link/isp_link.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <thread>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

void clearReceivedOf(sim::PtyBoardServer& server) {
    server.withBoard([](sim::BoardModel& b) { b.clearReceived(); });
}

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

    void missingPortLeavesFlagFalse() {
        BoardRig rig;
        IspLink link;
        link.OpenComPort(5);
        QVERIFY(!link.fgPortOpened());
        QCOMPARE(link.lastOpenFailure().port, 5);
        QCOMPARE(link.lastOpenFailure().error, QSerialPort::DeviceNotFoundError);
    }

    void refusalEndsAnswerPhaseAtOnce() {
        BoardRig rig;
        sim::BoardModel board = boardFor("LPC932A1");
        board.faults().rules.push_back(sim::FaultRule::onType(0x03, sim::FaultRule::Action::Refuse));
        rig.place(1, std::move(board));
        IspLink link;
        link.setTiming({5s, 5s, 1s});
        link.OpenComPort(1);
        link.responseForTest().strLastResponse = QStringLiteral("earlier");
        QElapsedTimer clock;
        clock.start();
        link.sendRecord(QStringLiteral("0100000310"));
        link.WaitResponse();
        QVERIFY2(clock.elapsed() < 2000, "the wait must end at the refusal, not at the time limit");
        QVERIFY(link.response().fgResponseErr);
        QVERIFY(!link.response().fgResponseOK);
        QCOMPARE(link.response().strLastResponse, QStringLiteral("earlier"));
    }

    void silentBoardTimesOutWithFlagsClear() {
        BoardRig rig;
        rig.placeSilent(1);
        IspLink link;
        link.setTiming({300ms, 400ms, 150ms});
        link.OpenComPort(1);
        link.responseForTest().strLastResponse = QStringLiteral("earlier");
        link.responseForTest().fgResponseOK = true; // left over: the wait clears it
        QElapsedTimer clock;
        clock.start();
        link.sendRecord(QStringLiteral("0100000310"));
        link.WaitResponse();
        QVERIFY2(clock.elapsed() >= 400, "the answer phase must last its whole limit");
        QVERIFY(!link.response().fgResponseOK);
        QVERIFY(!link.response().fgResponseErr);
        QCOMPARE(link.response().strLastResponse, QStringLiteral("earlier"));
    }

    void boardNotReadingHoldsTransmitPhase() {
        BoardRig rig;
        sim::PtyBoardServer& server = rig.place(1, boardFor("LPC932A1"));
        server.setStopReading(true);
        IspLink link;
        link.setTiming({300ms, 200ms, 150ms});
        link.OpenComPort(1);
        // More than the line can hold while nobody takes bytes off it: the output backs up.
        link.send(QByteArray(1 << 20, 'U'));
        QElapsedTimer clock;
        clock.start();
        link.WaitResponse();
        QVERIFY2(clock.elapsed() >= 500, "both phases must run their whole limits");
        QVERIFY(!link.response().fgResponseOK);

        // What never left is given up: once the board reads again, the next record is answered
        // and the old block does not follow it.
        server.setStopReading(false);
        QTest::qWait(100);
        clearReceivedOf(server);
        link.sendRecord(QStringLiteral("0100000312"));
        link.WaitResponse();
        QVERIFY(link.response().fgResponseOK);
        QCOMPARE(link.response().strLastResponse, QStringLiteral("0100000312EA1F"));
        QTest::qWait(100);
        QCOMPARE(server.withBoard([](sim::BoardModel& b) { return b.received(); }), QStringList{":0100000312EA"});
    }

    void noOpenPortFailsAtOnce() {
        IspLink link;
        link.setTiming({5s, 5s, 1s});
        QVERIFY(!link.sendRecord(QStringLiteral("00000001")));
        QElapsedTimer clock;
        clock.start();
        link.WaitResponse();
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(!link.response().fgResponseOK);
        QVERIFY(!link.response().fgResponseErr);
    }

    void vanishingPortEndsWaitAsNoAnswer() {
        BoardRig rig;
        sim::PtyBoardServer& server = rig.placeSilent(1);
        IspLink link;
        link.setTiming({5s, 5s, 1s});
        link.OpenComPort(1);
        QSignalSpy lost(&link, &IspLink::portLost);
        QTimer::singleShot(100ms, [&server] { server.vanish(); });
        QElapsedTimer clock;
        clock.start();
        link.sendRecord(QStringLiteral("0100000310"));
        link.WaitResponse();
        QVERIFY2(clock.elapsed() < 3000, "a vanished port must end the wait");
        QVERIFY(!link.response().fgResponseOK);
        QVERIFY(!link.response().fgResponseErr);
        QCOMPARE(lost.size(), 1);
        QVERIFY(!link.isOpen());
        QVERIFY(!link.sendRecord(QStringLiteral("0100000310")));
    }

    void abortEndsWaitAndLaterExchanges() {
        BoardRig rig;
        rig.placeSilent(1);
        IspLink link;
        link.setTiming({5s, 5s, 1s});
        link.OpenComPort(1);
        QTimer::singleShot(100ms, &link, &IspLink::abort);
        QElapsedTimer clock;
        clock.start();
        link.sendRecord(QStringLiteral("0100000310"));
        link.WaitResponse();
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(!link.sendRecord(QStringLiteral("0100000310")));
        link.OpenComPort(1);
        QVERIFY(!link.fgPortOpened());
    }
};

QTEST_GUILESS_MAIN(TestLinkPty)
#include "tst_link_pty.moc"
