// The window, offscreen: its start state, menus, help boxes, the range lists, and closing it
// while a command waits for the board.

#include "support/window_fixture.h"

#include "app/command_line.h"
#include "app/led_indicator.h"
#include "app/main_window.h"
#include "session/session.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

// A window over a session with no board anywhere.
struct Window : TargetWindow {
    Window()
        : TargetWindow("", ConnectedTarget::Start::NoBoard) {}
};

} // namespace

class TestWindow : public QObject {
    Q_OBJECT

private:
    std::optional<TemporarySettings> settings_;

private slots:
    void init() { settings_.emplace(); }

    void startState() {
        Window w;
        w.window.show();
        QCOMPARE(w.window.windowTitle(), QStringLiteral("Zelvan Programmer 1.3"));
        for (const CommandRow& row : commandTable()) {
            if (row.place != WindowPlace::Button)
                continue;
            QCOMPARE(w.find<QPushButton>(row.objectName)->isEnabled(), row.command == Command::AutoConnect);
            QVERIFY2(!w.find<QPushButton>(row.objectName)->toolTip().isEmpty(), row.objectName);
        }
        QVERIFY(!w.find<LedIndicator>("shpLED")->toolTip().isEmpty());
        QCOMPARE(w.find<QLabel>("lblPages")->text(), QStringLiteral("Pages"));
        QCOMPARE(w.find<QLabel>("lblSectors")->text(), QStringLiteral("Sectors"));
        QCOMPARE(w.window.focusWidget(), w.window.button(Command::AutoConnect));
        QLabel* status = w.find<QLabel>("lblInstructions");
        QCOMPARE(status->text(), QStringLiteral("Click 'Auto Connect' to connect the programmer"));
        QVERIFY(status->styleSheet().contains("#c0c000"));
        QLabel* connected = w.find<QLabel>("lblConnected");
        QCOMPARE(connected->text(), QStringLiteral("Unconnected"));
        QVERIFY(connected->styleSheet().contains("#ff0000"));
        QCOMPARE(w.find<LedIndicator>("shpLED")->colour(), QColor(0, 255, 0));
        QCOMPARE(w.find<QLabel>("lblLoadedFirmware")->text(), QStringLiteral("Istruzioni"));
        QCOMPARE(w.find<QLabel>("lblFoundCPU")->text(), QStringLiteral("Found uC:"));
        QVERIFY(!w.find<QCheckBox>("chkQuickmode")->isChecked()); // Protect ISP Code: the settings suite
        QVERIFY(w.find<QAction>("mnuFileBaud57600")->isChecked());
        QVERIFY(!w.find<QAction>("mnuFileBaud9600")->isChecked());
        // Every menu item is available at start, but the recent files: they wait for a part.
        for (QAction* action : w.window.findChildren<QAction*>()) {
            if (action->parent()->objectName() != "mnuFileRecent")
                QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
        }
    }

    // Qt's own options pass; anything else unknown is refused rather than ignored.
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("simulator");
        using A = WindowOptions::Action;
        QTest::newRow("nothing") << QStringList{} << int(A::OpenWindow) << false;
        QTest::newRow("simulator with Qt options")
            << QStringList{"-platform", "offscreen", "--simulator", "-style=fusion", "-reverse"} << int(A::OpenWindow)
            << true;
        QTest::newRow("parts") << QStringList{"--list-parts"} << int(A::ListParts) << false;
        QTest::newRow("-V, as zelvan-cli has it") << QStringList{"-V"} << int(A::Version) << false;
        QTest::newRow("unknown option") << QStringList{"--simulater"} << int(A::Refuse) << false;
        QTest::newRow("stray argument") << QStringList{"firmware.hex"} << int(A::Refuse) << false;
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        QFETCH(bool, simulator);
        const WindowOptions options = parseWindowOptions(QStringList{"zelvan-programmer"} + arguments);
        QCOMPARE(int(options.action), action);
        QCOMPARE(options.simulator, simulator);
        QCOMPARE(options.error.isEmpty(), action != int(WindowOptions::Action::Refuse));
    }

    void clearLoadedFwWorksAtStart() {
        Window w;
        w.find<QAction>("mnuFileClearFw")->trigger();
        QCOMPARE(w.find<QLabel>("lblLoadedFirmware")->text(), QStringLiteral("Firmware: "));
        QVERIFY(!w.window.button(Command::ClearFirmware)->isEnabled());
    }

    void about() {
        Window w;
        w.find<QAction>("mnuHelpAbout")->trigger();
        QCOMPARE(w.dialogs().boxes.size(), 1);
        QCOMPARE(w.dialogs().boxes[0].title, QStringLiteral("Zelvan Programmer Info"));
        const QString text = w.dialogs().boxes[0].text;
        QVERIFY(!text.contains('\r'));
        QVERIFY(text.endsWith('\n'));
        const QStringList lines = text.chopped(1).split('\n');
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.count(QString()), 4);
        QCOMPARE(lines[2], QStringLiteral("Zelvan Programmer"));
        QCOMPARE(lines[3], QStringLiteral("Version 1.3 - 13.11.2007"));
    }

    // readme.txt beside the program (the build tree) or where an installation puts it.
    void readMe_data() {
        QTest::addColumn<QString>("place"); // relative to the program's folder; empty: none
        QTest::addColumn<bool>("viewerStarts");
        QTest::addColumn<int>("boxes");
        QTest::newRow("beside the program") << "readme.txt" << true << 0;
        QTest::newRow("installed") << ZELVAN_INSTALLED_README << true << 0;
        QTest::newRow("no viewer") << "readme.txt" << false << 1;
        QTest::newRow("file missing") << "" << true << 1;
    }
    void readMe() {
        QFETCH(QString, place);
        QFETCH(bool, viewerStarts);
        QFETCH(int, boxes);
        const QDir programFolder(QCoreApplication::applicationDirPath());
        const QString path = QDir::cleanPath(programFolder.filePath(place));
        if (!place.isEmpty()) {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            writeFile(path, "read me\n");
        }
        Window w;
        QList<QUrl> opened;
        w.window.setUrlOpener([&](const QUrl& url) {
            opened.append(url);
            return viewerStarts;
        });
        w.find<QAction>("mnuHelpReadme")->trigger();
        QCOMPARE(w.dialogs().boxes.size(), boxes);
        if (!place.isEmpty()) {
            QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(path)});
            QFile::remove(path);
        }
        QVERIFY(w.window.isEnabled()); // the program goes on
    }

    void rangeListsFollowTheRule() {
        TargetWindow w; // Auto Connect has identified the part
        // A second identification refills the lists with the same positions: they must show them.
        QTest::mouseClick(w.window.button(Command::GetID), Qt::LeftButton);
        QComboBox* start = w.find<QComboBox>("cmbEraseSectorStart");
        QComboBox* end = w.find<QComboBox>("cmbEraseSectorEnd");
        QCOMPARE(start->currentIndex(), 0);
        QCOMPARE(end->currentIndex(), 7);
        end->setCurrentIndex(2);
        start->setCurrentIndex(5);
        QCOMPARE(end->currentIndex(), 5);
        QCOMPARE(w.session().sectorRange().endIndex(), 5);
        end->setCurrentIndex(1);
        QCOMPARE(start->currentIndex(), 1);
        QCOMPARE(w.find<QComboBox>("cmbErasePageEnd")->count(), 128);
    }

    void closingDuringWaitEndsPromptly() {
        TargetWindow w; // the board commands are enabled
        w.target.withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
        w.session().link().setTiming(LinkTiming{}); // the real five-second limits
        w.window.show();
        QTimer::singleShot(200ms, &w.window, &QWidget::close);
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(w.window.button(Command::ICP), Qt::LeftButton);
        QVERIFY2(clock.elapsed() >= 200 && clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w.window.isVisible());
        QVERIFY(!w.session().isRunning());
        QVERIFY(w.dialogs().boxes.isEmpty()); // no result box after the close
        QVERIFY(!w.session().click(Command::ICP));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
