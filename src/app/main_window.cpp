#include "main_window.h"

#include "help_texts.h"
#include "led_indicator.h"
#include "link_log_dock.h"
#include "range_binding.h"
#include "recent_firmware_menu.h"
#include "window_settings.h"

#include "common/version.h"
#include "link/port_names.h"
#include "session/dialogs.h"
#include "session/session.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>

#include <algorithm>

namespace zelvan {

namespace {

// Where each button stands: column and row of the window's grid (1-based, as the window is
// drawn), and for the two halves of row 4 in column 2 which half. Row 5 is the bottom row.
struct ButtonPlace {
    Command command;
    int column;
    int row;
    int half; // 0 whole cell, 1 upper half, 2 lower half
};

constexpr ButtonPlace kButtonPlaces[] = {
    {Command::ICP, 1, 1, 0},
    {Command::OFF, 2, 1, 0},
    {Command::ErasePage, 3, 1, 0},
    {Command::Version, 1, 2, 0},
    {Command::GetID, 2, 2, 0},
    {Command::EraseChip, 3, 2, 0},
    {Command::StatusByte, 1, 3, 0},
    {Command::ProgramFirmware, 2, 3, 0},
    {Command::EraseSector, 3, 3, 0},
    {Command::SetBootVector, 1, 4, 0},
    {Command::UCFG1, 2, 4, 1},
    {Command::UCFG2, 2, 4, 2},
    {Command::ProgramSecurity, 3, 4, 0},
    {Command::CCP, 4, 4, 0},
    {Command::GetGlobalCRC, 5, 4, 0},
    {Command::GetSectorCRC, 6, 4, 0},
    {Command::AutoConnect, 1, 5, 0},
    {Command::ClearFirmware, 2, 5, 0},
    {Command::LoadFirmware, 3, 5, 0},
    {Command::AutoProcedure, 4, 5, 0},
};

// Grid rows of the layout: every window row takes two layout rows, so that a control can fill
// its upper or lower half.
constexpr int kLoadedFirmwareRow = 8;
constexpr int kInstructionsRow = 9;
constexpr int kBottomRow = 10;
constexpr int kFoundCpuRow = 12;
// The captions of the two range pairs stand in a column after the grid's six; the full-width
// labels span it too.
constexpr int kUnitColumn = 6;
constexpr int kColumns = 7;

int layoutRow(int row) {
    return row <= 4 ? 2 * (row - 1) : kBottomRow;
}

// The local files of a drag, in the order they were dragged.
QStringList localFiles(const QMimeData* mime) {
    QStringList paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

bool isAutomationFile(const QString& path) {
    return path.endsWith(QStringLiteral(".cfg"), Qt::CaseInsensitive);
}

QString colourStyle(Rgb rgb) {
    return QStringLiteral("color: %1;").arg(QColor(rgb).name());
}

} // namespace

MainWindow::MainWindow(Session& session, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent)
    , session_(session)
    , dialogs_(dialogs)
    , openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kAppTitle + QLatin1Char(' ') + kAppVersion);
    setAcceptDrops(true);
    buildControls();
    buildMenus();
    new SessionSettings(session_, this);
    bindSession();
    if (!restoreWindowLayout(*this))
        CenterForm();
    button(Command::AutoConnect)->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    setCentralWidget(central);

    for (const ButtonPlace& place : kButtonPlaces) {
        const CommandRow& command = commandRow(place.command);
        auto* pushButton = new QPushButton(QString::fromLatin1(command.caption), central);
        pushButton->setObjectName(QString::fromLatin1(command.objectName));
        pushButton->setToolTip(QCoreApplication::translate("ButtonTips", command.tip));
        pushButton->setEnabled(session_.isEnabled(place.command));
        const int row = layoutRow(place.row) + (place.half == 2 ? 1 : 0);
        const int rowSpan = place.half == 0 && place.row <= 4 ? 2 : 1;
        grid->addWidget(pushButton, row, place.column - 1, rowSpan, 1);
        connect(pushButton, &QPushButton::clicked, this, [this, command = place.command] { session_.click(command); });
        buttons_[static_cast<size_t>(place.command)] = pushButton;
    }

    const auto addRangePair = [&](int row, const char* startName, const char* endName, QComboBox*& start,
                                  QComboBox*& end, const QString& unit, const char* unitName) {
        start = new QComboBox(central);
        end = new QComboBox(central);
        start->setObjectName(QString::fromLatin1(startName));
        end->setObjectName(QString::fromLatin1(endName));
        grid->addWidget(start, layoutRow(row), 3, 1, 2);
        grid->addWidget(end, layoutRow(row) + 1, 3, 1, 2);
        grid->addWidget(new QLabel(QStringLiteral("Start"), central), layoutRow(row), 5);
        grid->addWidget(new QLabel(QStringLiteral("End"), central), layoutRow(row) + 1, 5);
        // What the pair chooses, beside it in a column of its own.
        auto* caption = new QLabel(unit, central);
        caption->setObjectName(QString::fromLatin1(unitName));
        grid->addWidget(caption, layoutRow(row), kUnitColumn, 2, 1);
    };
    addRangePair(1, "cmbErasePageStart", "cmbErasePageEnd", cmbErasePageStart_, cmbErasePageEnd_, tr("Pages"),
                 "lblPages");
    addRangePair(3, "cmbEraseSectorStart", "cmbEraseSectorEnd", cmbEraseSectorStart_, cmbEraseSectorEnd_, tr("Sectors"),
                 "lblSectors");

    shpLED_ = new LedIndicator(central);
    shpLED_->setObjectName(QStringLiteral("shpLED"));
    shpLED_->setToolTip(tr("The link to the board:\n"
                           "yellow: a record is being sent\n"
                           "dark yellow: waiting for the answer, or between the units of a range\n"
                           "green: the last exchange succeeded\n"
                           "red: the last exchange was refused or not answered"));
    grid->addWidget(shpLED_, layoutRow(2), 3, 2, 1, Qt::AlignCenter);
    lblConnected_ = new QLabel(central);
    lblConnected_->setObjectName(QStringLiteral("lblConnected"));
    grid->addWidget(lblConnected_, layoutRow(2), 4, 2, 2);

    lblLoadedFirmware_ = new QLabel(central);
    lblLoadedFirmware_->setObjectName(QStringLiteral("lblLoadedFirmware"));
    lblLoadedFirmware_->setWordWrap(true);
    grid->addWidget(lblLoadedFirmware_, kLoadedFirmwareRow, 0, 1, kColumns);
    lblInstructions_ = new QLabel(central);
    lblInstructions_->setObjectName(QStringLiteral("lblInstructions"));
    lblInstructions_->setStyleSheet(colourStyle(kStatusColour));
    grid->addWidget(lblInstructions_, kInstructionsRow, 0, 1, kColumns);

    chkProtect_ = new QCheckBox(QStringLiteral("Protect ISP Code"), central);
    chkProtect_->setObjectName(QStringLiteral("chkProtect"));
    grid->addWidget(chkProtect_, kBottomRow, 4, 1, 2);
    chkQuickmode_ = new QCheckBox(QStringLiteral("Quick Mode"), central);
    chkQuickmode_->setObjectName(QStringLiteral("chkQuickmode"));
    grid->addWidget(chkQuickmode_, kBottomRow + 1, 4, 1, 2);

    lblFoundCPU_ = new QLabel(central);
    lblFoundCPU_->setObjectName(QStringLiteral("lblFoundCPU"));
    grid->addWidget(lblFoundCPU_, kFoundCpuRow, 0, 1, kColumns);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("programmingProgress"));
    progress_->setFormat(QStringLiteral("%v of %m"));
    progress_->setVisible(false);
    statusBar()->addPermanentWidget(progress_, 1);

    // Stop, beside the progress: shown while a command runs that can be stopped between its units.
    stop_ = new QPushButton(tr("Stop"), this);
    stop_->setObjectName(QStringLiteral("cmdStop"));
    stop_->setToolTip(tr("Stops the running command once the record in flight has been answered (Esc)"));
    stop_->setVisible(false);
    statusBar()->addPermanentWidget(stop_);
    connect(stop_, &QPushButton::clicked, this, &MainWindow::stopCommand);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &MainWindow::stopCommand);

    linkLog_ = new LinkLogDock(dialogs_, this);
    addDockWidget(Qt::BottomDockWidgetArea, linkLog_);
    linkLog_->hide();
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));

    QMenu* serial = file->addMenu(QStringLiteral("Select COM"));
    serial->setObjectName(QStringLiteral("mnuFileSelectSerial"));
    serial->setToolTipsVisible(true);
    mnuFileSelectAuto_ = serial->addAction(QStringLiteral("Auto Selection"));
    mnuFileSelectAuto_->setObjectName(QStringLiteral("mnuFileSelectAuto"));
    mnuFileSelectAuto_->setCheckable(true);
    connect(mnuFileSelectAuto_, &QAction::triggered, this, [this] {
        session_.chooseAutoSelection();
        showPortMarks();
    });
    for (int port = 1; port <= kPortCount; ++port) {
        QAction* item = serial->addAction(QStringLiteral("COM%1").arg(port));
        item->setObjectName(QStringLiteral("mnuFileSelectCOM%1").arg(port));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, port] {
            session_.chooseComPort(port);
            showPortMarks();
        });
        mnuFileSelectCOM_[static_cast<size_t>(port - 1)] = item;
    }
    // The device behind each COMn is looked up when the menu opens: adapters come and go.
    connect(serial, &QMenu::aboutToShow, this, [this] {
        for (int port = 1; port <= kPortCount; ++port) {
            const QString device = comDeviceName(port);
            mnuFileSelectCOM_[static_cast<size_t>(port - 1)]->setToolTip(device.isEmpty() ? tr("no such port")
                                                                                          : device);
        }
    });

    QMenu* baud = file->addMenu(QStringLiteral("Baud Rate"));
    baud->setObjectName(QStringLiteral("mnuFileBaud"));
    mnuFileBaud9600_ = baud->addAction(QStringLiteral("9600"));
    mnuFileBaud9600_->setObjectName(QStringLiteral("mnuFileBaud9600"));
    mnuFileBaud57600_ = baud->addAction(QStringLiteral("57600 (default)"));
    mnuFileBaud57600_->setObjectName(QStringLiteral("mnuFileBaud57600"));
    mnuFileBaud9600_->setCheckable(true);
    mnuFileBaud57600_->setCheckable(true);
    for (QAction* item : {mnuFileBaud9600_, mnuFileBaud57600_}) {
        connect(item, &QAction::triggered, this, [this, item] {
            session_.chooseBaud9600(item == mnuFileBaud9600_);
            showPortMarks(); // a refused choice puts the marks back
        });
    }

    QAction* clearFw = file->addAction(QStringLiteral("Clear Loaded Fw"));
    clearFw->setObjectName(QStringLiteral("mnuFileClearFw"));
    connect(clearFw, &QAction::triggered, this, [this] { session_.chooseClearLoadedFw(); });
    QAction* loadAuto = file->addAction(QStringLiteral("Load Automation File"));
    loadAuto->setObjectName(QStringLiteral("mnuFileLoadAuto"));
    connect(loadAuto, &QAction::triggered, this, [this] { session_.chooseLoadAutomationFile(); });
    recentFirmware_ = new RecentFirmwareMenu(this);
    file->addMenu(recentFirmware_);
    connect(recentFirmware_, &RecentFirmwareMenu::fileChosen, this, &MainWindow::openRecentFirmware);
    file->addSeparator()->setObjectName(QStringLiteral("mnuFileSep2"));
    QAction* exitItem = file->addAction(QStringLiteral("Exit"));
    exitItem->setObjectName(QStringLiteral("mnuFileExit"));
    connect(exitItem, &QAction::triggered, this, &MainWindow::mnuFileExit_Click);

    QMenu* view = menuBar()->addMenu(tr("View"));
    view->setObjectName(QStringLiteral("mnuView"));
    view->addAction(linkLog_->toggleViewAction());

    buildVerifyMenu();

    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* readme = help->addAction(QStringLiteral("Read Me"));
    readme->setObjectName(QStringLiteral("mnuHelpReadme"));
    connect(readme, &QAction::triggered, this, &MainWindow::mnuHelpReadme_Click);
    help->addSeparator()->setObjectName(QStringLiteral("mnuHelpSep1"));
    QAction* about = help->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("mnuHelpAbout"));
    connect(about, &QAction::triggered, this, &MainWindow::mnuHelpAbout_Click);
}

void MainWindow::buildVerifyMenu() {
    // Verify compares the CRCs the chip reports with the loaded firmware, or with golden CRCs
    // saved from a known-good chip: the only check these parts allow, since their flash cannot
    // be read back.
    QMenu* verify = menuBar()->addMenu(tr("Verify"));
    verify->setObjectName(QStringLiteral("mnuVerify"));
    const auto add = [this, verify](Command command) {
        const CommandRow& row = commandRow(command);
        QAction* action = verify->addAction(QString::fromLatin1(row.caption));
        action->setObjectName(QLatin1String(row.objectName));
        action->setToolTip(QCoreApplication::translate("ButtonTips", row.tip));
        connect(action, &QAction::triggered, this, [this, command] { session_.click(command); });
    };
    add(Command::VerifyFirmware);
    QAction* afterProgram = verify->addAction(tr("Verify after Program Firmware"));
    afterProgram->setObjectName(QStringLiteral("mnuVerifyAfterProgram"));
    afterProgram->setCheckable(true);
    afterProgram->setChecked(session_.verifyAfterProgramTicked());
    connect(afterProgram, &QAction::toggled, &session_, &Session::setVerifyAfterProgram);
    connect(&session_, &Session::verifyAfterProgramChanged, afterProgram, &QAction::setChecked);
    verify->addSeparator();
    add(Command::SaveGolden);
    add(Command::CompareGolden);
    add(Command::Calibrate);
    verify->setToolTipsVisible(true);
}

void MainWindow::bindSession() {
    const auto showStatus = [this](const QString& text) { lblInstructions_->setText(text); };
    const auto showLed = [this](Led colour) { shpLED_->setColour(QColor(ledRgb(colour))); };
    const auto showConnection = [this](const QString& text, Rgb colour) {
        lblConnected_->setText(text);
        lblConnected_->setStyleSheet(colourStyle(colour));
    };
    showStatus(session_.statusText());
    showLed(session_.indicator());
    showConnection(session_.connectionText(), session_.connectionColour());
    lblFoundCPU_->setText(session_.foundCpuText());
    lblLoadedFirmware_->setText(session_.firmwareLabel());
    chkProtect_->setChecked(session_.protectTicked());
    chkQuickmode_->setChecked(session_.quickModeTicked());
    showPortMarks();

    connect(&session_, &Session::statusChanged, this, showStatus);
    connect(&session_, &Session::indicatorChanged, this, showLed);
    connect(&session_, &Session::connectionChanged, this, showConnection);
    connect(&session_, &Session::foundCpuChanged, lblFoundCPU_, &QLabel::setText);
    connect(&session_, &Session::firmwareLabelChanged, lblLoadedFirmware_, &QLabel::setText);
    recentFirmware_->setFilesEnabled(session_.isEnabled(Command::LoadFirmware));
    connect(&session_, &Session::commandEnabledChanged, this, [this](Command command, bool enabled) {
        button(command)->setEnabled(enabled);
        if (command == Command::LoadFirmware)
            recentFirmware_->setFilesEnabled(enabled);
    });
    connect(&session_, &Session::firmwareFileLoaded, recentFirmware_, &RecentFirmwareMenu::add);
    connect(&session_, &Session::portMarksChanged, this, &MainWindow::showPortMarks);
    connect(&session_, &Session::progressChanged, this, [this](int done, int total) {
        progress_->setVisible(total > 0);
        progress_->setRange(0, qMax(total, 1));
        progress_->setValue(done);
    });
    connect(&session_, &Session::runningChanged, this, &MainWindow::showRunning);
    connect(&session_, &Session::protectChanged, chkProtect_, &QCheckBox::setChecked);
    connect(&session_, &Session::quickModeChanged, chkQuickmode_, &QCheckBox::setChecked);
    connect(chkProtect_, &QCheckBox::toggled, &session_, &Session::setProtect);
    connect(chkQuickmode_, &QCheckBox::toggled, &session_, &Session::setQuickMode);

    new RangeBinding(session_.pageRange(), cmbErasePageStart_, cmbErasePageEnd_, this);
    new RangeBinding(session_.sectorRange(), cmbEraseSectorStart_, cmbEraseSectorEnd_, this);
}

void MainWindow::showPortMarks() {
    mnuFileSelectAuto_->setChecked(session_.autoSelectionChecked());
    for (int port = 1; port <= kPortCount; ++port)
        mnuFileSelectCOM_[static_cast<size_t>(port - 1)]->setChecked(session_.checkedPort() == port);
    mnuFileBaud9600_->setChecked(session_.baud9600Checked());
    mnuFileBaud57600_->setChecked(!session_.baud9600Checked());
}

void MainWindow::showRunning(bool running) {
    stop_->setVisible(running && session_.canStop());
    stop_->setEnabled(true);
}

void MainWindow::stopCommand() {
    if (!session_.canStop())
        return;
    session_.requestStop();
    stop_->setEnabled(false); // asked once; the command ends after the record in flight
}

void MainWindow::CenterForm() {
    adjustSize();
    if (const QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

void MainWindow::mnuHelpAbout_Click() {
    dialogs_.messageBox(aboutText(), kAboutTitle);
}

void MainWindow::mnuHelpReadme_Click() {
    const QStringList locations = readmeLocations();
    const auto found = std::find_if(locations.begin(), locations.end(),
                                    [](const QString& location) { return QFileInfo::exists(location); });
    if (found == locations.end()) {
        dialogs_.messageBox(tr("The read-me file is missing: it is neither %1 nor %2.")
                                .arg(QDir::toNativeSeparators(locations[0]), QDir::toNativeSeparators(locations[1])),
                            tr("Read Me"));
        return;
    }
    const QString path = *found;
    if (!openUrl_(QUrl::fromLocalFile(path)))
        dialogs_.messageBox(
            tr("No text viewer could be started for %1.\nOpen the file with any text editor.").arg(path),
            tr("Read Me"));
}

void MainWindow::mnuFileExit_Click() {
    close();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // The files are opened once the drop is over: a load may put up boxes, which must not run
    // inside the drag-and-drop exchange with the program the files came from.
    QMetaObject::invokeMethod(
        this, [this, paths] { openDroppedFiles(paths); }, Qt::QueuedConnection);
}

void MainWindow::openDroppedFiles(const QStringList& paths) {
    // In the order dropped: automation files (.cfg) become the automation file, anything else is
    // loaded as Intel HEX, each as Load Firmware loads it.
    for (const QString& path : paths) {
        if (isAutomationFile(path) ? session_.chooseAutomationFile(path) : session_.chooseFirmwareFile(path))
            continue;
        dialogs_.messageBox(whyNotOpened(path), tr("Drop Files"));
        return;
    }
}

void MainWindow::openRecentFirmware(const QString& path) {
    if (!QFileInfo::exists(path)) {
        recentFirmware_->remove(path);
        dialogs_.messageBox(
            tr("%1 is no longer there; it has been taken off the list.").arg(QDir::toNativeSeparators(path)),
            tr("Recent Firmware"));
        return;
    }
    if (!session_.chooseFirmwareFile(path))
        dialogs_.messageBox(whyNotOpened(path), tr("Recent Firmware"));
}

QString MainWindow::whyNotOpened(const QString& path) const {
    const QString why = session_.isRunning()
                            ? tr("%1 is running; try again once it has finished.").arg(session_.runningCaption())
                            : tr("Firmware is loaded for the identified part: connect the programmer and "
                                 "identify the part (Auto Connect, Get LPC ID) first.");
    return tr("%1 was not opened.\n%2").arg(QFileInfo(path).fileName(), why);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Quitting in the middle of a command leaves the flash half done: ask first. The command is
    // held where it is while the question is up; No lets it go on as if nothing happened.
    if (session_.isRunning() &&
        !dialogs_.confirm(session_.runningSummary() + tr(". Stop it and quit?"), tr("Quit Zelvan Programmer"))) {
        event->ignore();
        return;
    }
    // A command may be waiting for the board inside this close: end its wait and keep it from
    // showing anything more, so that the program ends at once.
    session_.shutdown();
    saveWindowLayout(*this);
    event->accept();
}

} // namespace zelvan
