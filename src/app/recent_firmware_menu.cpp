#include "recent_firmware_menu.h"

#include "window_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace zelvan {

namespace {

const QString kRecentKey = QStringLiteral("recentFirmware");

} // namespace

RecentFirmwareMenu::RecentFirmwareMenu(QWidget* parent)
    : QMenu(tr("Recent Firmware"), parent) {
    setObjectName(QStringLiteral("mnuFileRecent"));
    setToolTipsVisible(true);
    files_ = QSettings(kSettingsOrganization, kSettingsApplication).value(kRecentKey).toStringList().mid(0, kCapacity);
    rebuild();
}

void RecentFirmwareMenu::add(const QString& path) {
    QStringList files = files_;
    files.removeAll(path);
    files.prepend(path);
    setFiles(files.mid(0, kCapacity));
}

void RecentFirmwareMenu::remove(const QString& path) {
    QStringList files = files_;
    files.removeAll(path);
    setFiles(files);
}

void RecentFirmwareMenu::setFilesEnabled(bool enabled) {
    filesEnabled_ = enabled;
    rebuild();
}

void RecentFirmwareMenu::setFiles(const QStringList& files) {
    if (files == files_)
        return;
    files_ = files;
    QSettings(kSettingsOrganization, kSettingsApplication).setValue(kRecentKey, files_);
    rebuild();
}

void RecentFirmwareMenu::rebuild() {
    clear();
    for (int i = 0; i < files_.size(); ++i) {
        const QString& path = files_[i];
        // "&1 blink.hex": the name with its number as the key, the whole path as the tip.
        QAction* item = addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        item->setObjectName(QStringLiteral("mnuFileRecent%1").arg(i + 1));
        item->setToolTip(QDir::toNativeSeparators(path));
        item->setEnabled(filesEnabled_);
        // Queued: loading the file changes this list, which deletes the items, and an item must not
        // be deleted while it is still delivering its own click.
        connect(
            item, &QAction::triggered, this, [this, path] { emit fileChosen(path); }, Qt::QueuedConnection);
    }
    if (files_.isEmpty()) {
        addAction(tr("(none)"))->setEnabled(false);
        return;
    }
    addSeparator();
    QAction* clearList = addAction(tr("Clear List"));
    clearList->setObjectName(QStringLiteral("mnuFileRecentClear"));
    connect(
        clearList, &QAction::triggered, this, [this] { setFiles({}); }, Qt::QueuedConnection);
}

} // namespace zelvan
