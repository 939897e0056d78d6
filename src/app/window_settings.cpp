#include "window_settings.h"

#include "session/session.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QSettings>

namespace zelvan {

namespace {

const QString kBaudKey = QStringLiteral("port/baud");
const QString kQuickModeKey = QStringLiteral("programming/quickMode");
const QString kVerifyKey = QStringLiteral("programming/verifyAfterProgram");
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kDocksKey = QStringLiteral("window/docks");

QString folderKey(const QString& kind) {
    return QStringLiteral("folders/") + kind;
}

} // namespace

QString lastFolder(const QString& kind) {
    return QSettings(kSettingsOrganization, kSettingsApplication).value(folderKey(kind)).toString();
}

void rememberFolder(const QString& kind, const QString& filePath) {
    QSettings(kSettingsOrganization, kSettingsApplication)
        .setValue(folderKey(kind), QFileInfo(filePath).absolutePath());
}

SessionSettings::SessionSettings(Session& session, QObject* parent)
    : QObject(parent)
    , session_(session) {
    const QSettings settings(kSettingsOrganization, kSettingsApplication);
    const bool baud9600 = settings.value(kBaudKey, 57600).toInt() == 9600;
    const bool quickMode = settings.value(kQuickModeKey, false).toBool();
    if (baud9600)
        session_.mnuFileBaud9600_Click();
    session_.setQuickMode(quickMode);
    session_.setVerifyAfterProgram(settings.value(kVerifyKey, false).toBool());

    connect(&session_, &Session::portMarksChanged, this, &SessionSettings::save);
    connect(&session_, &Session::quickModeChanged, this, &SessionSettings::save);
    connect(&session_, &Session::verifyAfterProgramChanged, this, &SessionSettings::save);
}

void SessionSettings::save() {
    QSettings settings(kSettingsOrganization, kSettingsApplication);
    settings.setValue(kBaudKey, session_.baud9600Checked() ? 9600 : 57600);
    settings.setValue(kQuickModeKey, session_.quickModeTicked());
    settings.setValue(kVerifyKey, session_.verifyAfterProgramTicked());
}

bool restoreWindowLayout(QMainWindow& window) {
    const QSettings settings(kSettingsOrganization, kSettingsApplication);
    const QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    window.restoreState(settings.value(kDocksKey).toByteArray());
    return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void saveWindowLayout(const QMainWindow& window) {
    QSettings settings(kSettingsOrganization, kSettingsApplication);
    settings.setValue(kGeometryKey, window.saveGeometry());
    settings.setValue(kDocksKey, window.saveState());
}

} // namespace zelvan
