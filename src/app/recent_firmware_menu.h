#pragma once

#include <QMenu>
#include <QStringList>

namespace zelvan {

// File > Recent Firmware: the HEX files loaded last, most recent first, remembered between
// starts. Choosing one emits fileChosen(); the window loads it (or drops it when it is gone).
class RecentFirmwareMenu : public QMenu {
    Q_OBJECT

public:
    static constexpr int kCapacity = 8;

    explicit RecentFirmwareMenu(QWidget* parent);

    QStringList files() const { return files_; }
    // A file was loaded: it goes to the top (once), the oldest beyond the capacity goes.
    void add(const QString& path);
    void remove(const QString& path);
    // Whether a file can be loaded now; the items follow it.
    void setFilesEnabled(bool enabled);

signals:
    void fileChosen(const QString& path);

private:
    void setFiles(const QStringList& files);
    void rebuild();

    QStringList files_;
    bool filesEnabled_ = false;
};

} // namespace zelvan
