#pragma once

#include "connected_target.h"

#include "app/main_window.h"

#include <QSettings>
#include <QTemporaryDir>

namespace zelvan::test {

// Points this process's settings at a fresh temporary folder for as long as it lives: a test never
// reads or changes the user's own settings, and every test starts from none.
class TemporarySettings {
public:
    TemporarySettings() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    }

private:
    QTemporaryDir dir_;
};

// A second small HEX file in dir, "second.hex": four bytes at 0x0800, beside blink.ihx's data.
inline QString writeSecondHex(const QTemporaryDir& dir) {
    return writeFile(dir.filePath(QStringLiteral("second.hex")), ":0408000001020304EA\n:00000001FF\n");
}

// The window over a ConnectedTarget (see there for the start states).
struct TargetWindow {
    ConnectedTarget target;
    MainWindow window{target.session, target.dialogs};

    explicit TargetWindow(const char* part = "LPC932A1",
                          ConnectedTarget::Start start = ConnectedTarget::Start::Identified)
        : target(part, start) {}

    Session& session() { return target.session; }
    FakeDialogs& dialogs() { return target.dialogs; }

    template <typename T> T* find(const char* name) const {
        T* child = window.findChild<T*>(QLatin1String(name));
        if (!child)
            qFatal("no %s in the window", name);
        return child;
    }
};

} // namespace zelvan::test
