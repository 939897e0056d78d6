#pragma once

#include <QObject>
#include <QString>

class QMainWindow;

namespace zelvan {

class Session;

// Where the window keeps what it remembers between starts (QSettings: organization "Zelvan",
// application "Zelvan Programmer"; on Linux ~/.config/Zelvan/Zelvan Programmer.conf).
inline const QString kSettingsOrganization = QStringLiteral("Zelvan");
inline const QString kSettingsApplication = QStringLiteral("Zelvan Programmer");

// The folder the last file of a kind ("hex", "cfg") was chosen in, where the next file dialog of
// that kind starts; empty when none was chosen yet.
QString lastFolder(const QString& kind);
void rememberFolder(const QString& kind, const QString& filePath);

// What the window remembers of the session: the baud rate, Quick Mode and Verify after Program
// Firmware, each saved as soon as it changes. The port menu's marks are not remembered: they show
// the port in use, and no port is in use at start. "Protect ISP Code" is left out on purpose: every
// start has the bootloader protected.
class SessionSettings : public QObject {
    Q_OBJECT

public:
    // Puts the remembered values on the session, then follows its changes.
    SessionSettings(Session& session, QObject* parent);

private:
    void save();

    Session& session_;
};

// The window's place and size and its docks (which are open, and where); false when none was
// remembered.
bool restoreWindowLayout(QMainWindow& window);
void saveWindowLayout(const QMainWindow& window);

} // namespace zelvan
