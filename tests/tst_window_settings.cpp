// What the window remembers between starts, and File > Recent Firmware.

#include "support/window_fixture.h"

#include "app/qt_dialogs.h"
#include "app/recent_firmware_menu.h"
#include "link/wire_log.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

#include <optional>

using namespace zelvan;
using namespace zelvan::test;

namespace {

// Opens the HEX file dialog and, from inside it, notes the folder it starts in and then chooses
// the file given (or cancels when none is given).
QString fileDialogFolder(const QString& choose = QString()) {
    QString folder;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            qFatal("no file dialog");
        folder = dialog->directory().absolutePath();
        if (choose.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(choose);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    QtDialogs dialogs;
    dialogs.openFileName({"Select", "HEX Files (*.hex)", "hex"});
    return folder;
}

QStringList recentFiles(const TargetWindow& w) {
    return w.find<RecentFirmwareMenu>("mnuFileRecent")->files();
}

} // namespace

class TestWindowSettings : public QObject {
    Q_OBJECT

private:
    std::optional<TemporarySettings> settings_;

private slots:
    void init() { settings_.emplace(); }

    // Everything remembered comes back in a second window over a second session; "Protect ISP
    // Code" starts ticked whatever it was.
    void settingsSurviveARestart() {
        QTemporaryDir dir;
        const QString second = writeSecondHex(dir);
        const QRect geometry(20, 30, 740, 540);
        {
            TargetWindow w;
            w.target.rig.place(3, boardFor("LPC936"));
            w.find<QAction>("mnuFileSelectCOM3")->trigger();
            w.find<QAction>("mnuFileBaud9600")->trigger();
            w.find<QCheckBox>("chkQuickmode")->setChecked(true);
            w.find<QCheckBox>("chkProtect")->setChecked(false);
            w.target.loadFirmware(fixturePath("blink.ihx"));
            w.target.loadFirmware(second);
            fileDialogFolder(second);
            w.find<QAction>("mnuViewLinkLog")->trigger();
            w.window.show();
            w.window.setGeometry(geometry);
            QVERIFY(w.window.close());
        }

        TargetWindow w("", ConnectedTarget::Start::NoBoard);
        QVERIFY(w.find<QAction>("mnuFileBaud9600")->isChecked());
        QVERIFY(w.find<QCheckBox>("chkQuickmode")->isChecked());
        QVERIFY(w.session().quickModeTicked());
        QVERIFY(w.find<QCheckBox>("chkProtect")->isChecked());
        QCOMPARE(recentFiles(w), (QStringList{second, fixturePath("blink.ihx")}));
        QCOMPARE(fileDialogFolder(), dir.path());
        w.window.show();
        QCOMPARE(w.window.geometry(), geometry);
        QVERIFY(w.find<QAction>("mnuViewLinkLog")->isChecked());
        QVERIFY(lcWire().isDebugEnabled());
    }

    // The port menu's marks show the port in use: after a restart none is marked (no port is open),
    // and Auto Connect marks the port it found.
    void portMarksShowThePortInUse() {
        {
            TargetWindow w;
            w.target.rig.place(3, boardFor("LPC936"));
            w.find<QAction>("mnuFileSelectCOM3")->trigger();
            QVERIFY(w.find<QAction>("mnuFileSelectCOM3")->isChecked());
        }
        TargetWindow w("", ConnectedTarget::Start::NoBoard);
        w.target.rig.place(1, boardFor("LPC932A1"));
        for (const char* item : {"mnuFileSelectAuto", "mnuFileSelectCOM1", "mnuFileSelectCOM3"})
            QVERIFY2(!w.find<QAction>(item)->isChecked(), item);
        QVERIFY(!w.session().link().isOpen());

        QTest::mouseClick(w.window.button(Command::AutoConnect), Qt::LeftButton);

        QVERIFY(w.find<QAction>("mnuFileSelectAuto")->isChecked());
        QVERIFY(w.find<QAction>("mnuFileSelectCOM1")->isChecked());
    }

    // Choosing a recent file loads it as Load Firmware does; one that is gone is taken off the
    // list with a note.
    void recentFirmwareLoadsAndDropsMissing() {
        TargetWindow w;
        QTemporaryDir dir;
        const QString blink = fixturePath("blink.ihx");
        const QString second = writeSecondHex(dir);
        w.target.loadFirmware(blink);
        w.target.loadFirmware(second);
        QTest::mouseClick(w.window.button(Command::ClearFirmware), Qt::LeftButton);
        QVERIFY(QFile::remove(second));
        w.target.forget();

        w.find<QAction>("mnuFileRecent1")->trigger(); // second.hex, gone
        QTRY_COMPARE(recentFiles(w), QStringList{blink});
        QCOMPARE(w.dialogs().boxes.size(), 1);
        QCOMPARE(w.dialogs().boxes[0].title, QStringLiteral("Recent Firmware"));

        w.find<QAction>("mnuFileRecent1")->trigger(); // blink.ihx
        QTRY_COMPARE(w.find<QLabel>("lblLoadedFirmware")->text(), "Firmware: " + blink);
    }

    void recentListKeepsEightMostRecentFirst() {
        RecentFirmwareMenu menu(nullptr);
        for (int i = 1; i <= 10; ++i)
            menu.add(QStringLiteral("/f/%1.hex").arg(i));
        menu.add("/f/5.hex");
        QCOMPARE(menu.files(), (QStringList{"/f/5.hex", "/f/10.hex", "/f/9.hex", "/f/8.hex", "/f/7.hex", "/f/6.hex",
                                            "/f/4.hex", "/f/3.hex"}));
        QVERIFY(!menu.findChild<QAction*>("mnuFileRecent1")->isEnabled()); // nothing identified
    }
};

QTEST_MAIN(TestWindowSettings)
#include "tst_window_settings.moc"
