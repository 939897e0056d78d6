#pragma once

#include "board/command_table.h"
#include "link/port_names.h"

#include <QMainWindow>
#include <QUrl>

#include <array>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace zelvan {

class Dialogs;
class LedIndicator;
class LinkLogDock;
class RecentFirmwareMenu;
class Session;

// The program's one window (frmMain): the command buttons in their grid, the option boxes, the
// range lists, the indicators and the menus. It only shows the Session and forwards the user's
// clicks to it; no exchange with the board is made here.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    MainWindow(Session& session, Dialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // How Read Me opens its file; the desktop's viewer unless replaced.
    void setUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }

    QPushButton* button(Command command) const { return buttons_[static_cast<size_t>(command)]; }
    LinkLogDock* linkLog() const { return linkLog_; }

    void mnuHelpAbout_Click();
    void mnuHelpReadme_Click();
    void mnuFileExit_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void buildVerifyMenu();
    void bindSession();
    void CenterForm();
    void showPortMarks();
    void showRunning(bool running);
    void stopCommand();
    void openDroppedFiles(const QStringList& paths);
    void openRecentFirmware(const QString& path);
    // Why the session did not take a file just now (a command runs, or no part is identified).
    QString whyNotOpened(const QString& path) const;

    Session& session_;
    Dialogs& dialogs_;
    UrlOpener openUrl_;

    std::array<QPushButton*, kCommandCount> buttons_{};
    QCheckBox* chkProtect_ = nullptr;
    QCheckBox* chkQuickmode_ = nullptr;
    QComboBox* cmbErasePageStart_ = nullptr;
    QComboBox* cmbErasePageEnd_ = nullptr;
    QComboBox* cmbEraseSectorStart_ = nullptr;
    QComboBox* cmbEraseSectorEnd_ = nullptr;
    LedIndicator* shpLED_ = nullptr;
    QLabel* lblConnected_ = nullptr;
    QLabel* lblLoadedFirmware_ = nullptr;
    QLabel* lblInstructions_ = nullptr;
    QLabel* lblFoundCPU_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* stop_ = nullptr;

    QAction* mnuFileSelectAuto_ = nullptr;
    std::array<QAction*, kPortCount> mnuFileSelectCOM_{};
    QAction* mnuFileBaud9600_ = nullptr;
    QAction* mnuFileBaud57600_ = nullptr;
    RecentFirmwareMenu* recentFirmware_ = nullptr;
    LinkLogDock* linkLog_ = nullptr;
};

} // namespace zelvan
