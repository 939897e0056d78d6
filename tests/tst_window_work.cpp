// The window while work runs: stopping a command, closing the window in the middle of one, and
// files dropped on it. What identification keeps of the loaded firmware is the session's (tst_session).

#include "support/window_fixture.h"

#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include <optional>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

void drop(QWidget& window, const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    QMimeData mime;
    mime.setUrls(urls);
    // The drag enters first: that makes the window the target the drop goes to.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDropEvent event(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &event);
}

} // namespace

class TestWindowWork : public QObject {
    Q_OBJECT

private:
    std::optional<TemporarySettings> settings_;

private slots:
    void init() { settings_.emplace(); }

    // Stop (or Esc) ends programming after the page in flight has been answered: that page is
    // written, nothing is sent after it.
    void stopDuringProgramming_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Stop button") << false;
        QTest::newRow("Esc") << true;
    }
    void stopDuringProgramming() {
        QFETCH(bool, escape);
        TargetWindow w;
        w.target.withBoard([](sim::BoardModel& board) { board.times().pageProgram = 250ms; });
        w.session().link().setTiming({300ms, 2000ms, 150ms});
        w.target.loadFirmware(fixturePath("blink.ihx"));
        w.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QPushButton* stop = w.find<QPushButton>("cmdStop");
        QVERIFY(stop->isHidden());
        bool stopShown = false;
        QObject::connect(&w.session(), &Session::progressChanged, &w.window, [&](int done, int) {
            if (done == 2) // while the third page is with the board
                QTimer::singleShot(20ms, stop, [&] {
                    stopShown = stop->isVisible() && stop->isEnabled();
                    if (escape)
                        QTest::keyClick(&w.window, Qt::Key_Escape);
                    else
                        QTest::mouseClick(stop, Qt::LeftButton);
                });
        });
        w.target.forget();

        QTest::mouseClick(w.window.button(Command::ProgramFirmware), Qt::LeftButton);

        QVERIFY(stopShown);
        QCOMPARE(recordsOfType(w.target.sent(), "00").size(), 3);
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
            QCOMPARE(recordsOfType(w.target.sent(), "00").size(), 2);
            QVERIFY(w.dialogs().boxes.isEmpty());
        } else {
            QCOMPARE(w.target.flash().left(0x450), fixtureBytes("blink.bin"));
        }
    }

    // HEX files load in the order dropped, each as Load Firmware loads it (the second gets the
    // not-cleared warning); a .cfg among them becomes the automation file.
    void dropLoadsFilesInOrder() {
        TargetWindow w;
        QTemporaryDir dir;
        const QString first = fixturePath("blink.ihx");
        const QString second = writeSecondHex(dir);
        const QString automation = dir.filePath("run.CFG");
        QFile(automation).open(QIODevice::WriteOnly);

        drop(w.window, {first, automation, second});

        QTRY_COMPARE(w.find<QLabel>("lblLoadedFirmware")->text(), "Firmware: " + first + second);
        QCOMPARE(w.dialogs().boxTitles(), QStringList{"HEX File Loading"});
        QCOMPARE(w.session().firmware().byteText(0x0803), QByteArrayView("04"));
        QCOMPARE(w.session().automationFile(), automation);
        QVERIFY(w.window.button(Command::AutoProcedure)->isEnabled());
    }

    void dropBeforeIdentificationSaysWhy() {
        TargetWindow w("LPC932A1", ConnectedTarget::Start::PortOpened);
        drop(w.window, {fixturePath("blink.ihx")});
        QTRY_COMPARE(w.dialogs().boxTitles(), QStringList{"Drop Files"});
        QVERIFY(!w.session().firmwareLoaded());
    }
};

QTEST_MAIN(TestWindowWork)
#include "tst_window_work.moc"
