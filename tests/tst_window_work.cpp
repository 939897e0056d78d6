// The window while work runs: stopping a command, closing the window in the middle of one.

#include "support/window_fixture.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <optional>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

// The firmware page records the board received, in order.
QStringList pageRecords(const QStringList& sent) {
    QStringList pages;
    for (const QString& record : sent) {
        if (record.startsWith(':') && record.size() > 11 && record.mid(7, 2) == QLatin1String("00"))
            pages.append(record);
    }
    return pages;
}

} // namespace

class TestWindowWork : public QObject {
    Q_OBJECT

private:
    std::optional<TemporarySettings> settings_;

private slots:
    void init() { settings_.emplace(); }

    // Stop ends programming after the page in flight has been answered: that page is written,
    // nothing is sent after it.
    void stopDuringProgramming() {
        TargetWindow w;
        w.target.withBoard([](sim::BoardModel& board) { board.times().pageProgram = 250ms; });
        w.session().link().setTiming({300ms, 2000ms, 150ms});
        w.target.loadFirmware(fixturePath("blink.ihx"));
        w.window.show();
        QPushButton* stop = w.find<QPushButton>("cmdStop");
        QVERIFY(stop->isHidden());
        bool stopShown = false;
        QObject::connect(&w.session(), &Session::progressChanged, &w.window, [&](int done, int) {
            if (done == 2) // while the third page is with the board
                QTimer::singleShot(20ms, stop, [&] {
                    stopShown = stop->isVisible() && stop->isEnabled();
                    QTest::mouseClick(stop, Qt::LeftButton);
                });
        });
        w.target.forget();

        QTest::mouseClick(w.window.button(Command::ProgramFirmware), Qt::LeftButton);

        QVERIFY(stopShown);
        QCOMPARE(pageRecords(w.target.sent()).size(), 3);
        QCOMPARE(w.session().statusText(), QStringLiteral("Programming Firmware: Interrupted"));
        const QByteArray programmed = fixtureBytes("blink.bin");
        QCOMPARE(w.target.flash().left(0xC0), programmed.left(0xC0));
        QCOMPARE(w.target.flash().mid(0xC0, 0x40), QByteArray(0x40, '\0'));
        QVERIFY(stop->isHidden());
        QVERIFY(!w.session().isRunning());
    }

    // Closing while programming runs asks, naming the command and how far it got. No lets it
    // finish as if nothing happened; Yes ends it at once and closes the window.
    void closeDuringCommandAsks_data() {
        QTest::addColumn<bool>("quit");
        QTest::newRow("no keeps it running") << false;
        QTest::newRow("yes stops it and closes") << true;
    }
    void closeDuringCommandAsks() {
        QFETCH(bool, quit);
        TargetWindow w;
        w.target.loadFirmware(fixturePath("blink.ihx"));
        w.window.show();
        w.dialogs().confirmAnswer = quit;
        QObject::connect(&w.session(), &Session::progressChanged, &w.window, [&](int done, int) {
            if (done == 2)
                QTimer::singleShot(0, &w.window, &QWidget::close);
        });
        w.target.forget();

        QTest::mouseClick(w.window.button(Command::ProgramFirmware), Qt::LeftButton);

        QCOMPARE(w.dialogs().questions, QStringList{"Program Firmware is running (2 of 8 pages). Stop it and quit?"});
        QCOMPARE(w.window.isVisible(), !quit);
        QVERIFY(!w.session().isRunning());
        if (quit) {
            QCOMPARE(pageRecords(w.target.sent()).size(), 2);
            QVERIFY(w.dialogs().boxes.isEmpty());
        } else {
            QCOMPARE(w.session().statusText(), QStringLiteral("Programming Firmware: Done"));
            QCOMPARE(w.target.flash().left(0x450), fixtureBytes("blink.bin"));
        }
    }

    void closeWhileIdleAsksNothing() {
        TargetWindow w;
        w.window.show();
        QVERIFY(w.window.close());
        QVERIFY(w.dialogs().questions.isEmpty());
    }
};

QTEST_MAIN(TestWindowWork)
#include "tst_window_work.moc"
