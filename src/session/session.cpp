#include "session.h"

#include "common/system_texts.h"
#include "link/port_names.h"

namespace zelvan {

Session::Session(Dialogs& dialogs, QObject* parent)
    : QObject(parent)
    , dialogs_(dialogs)
    , statusText_(QStringLiteral("Click 'Auto Connect' to connect the programmer"))
    , connectionText_(QStringLiteral("Unconnected"))
    , connectionColour_(kUnconnectedColour)
    , foundCpuText_(QStringLiteral("Found uC:"))
    , firmwareLabel_(systemText::kIstruzioni) {
    // At start only Auto Connect is available; everything else follows the work.
    enabled_[static_cast<size_t>(Command::AutoConnect)] = true;
    connect(&link_, &IspLink::portLost, this, &Session::onPortLost);
}

void Session::onPortLost(const QString& reason) {
    // The adapter went away under an open port: whatever runs fails on its own; the window
    // must not go on saying "Connected".
    showConnection(false);
    setIndicator(Led::Red);
    setStatus(QStringLiteral("Programmer connection lost: ") + reason);
}

Session::~Session() = default;

template <typename F> bool Session::runExclusive(const QString& caption, bool stoppable, F&& handler) {
    // One command at a time: a click that arrives while a command waits for the board would
    // otherwise start a second exchange inside the first one's wait and steal its answer.
    if (running_ || dialogs_.closed())
        return false;
    running_ = true;
    runningCaption_ = caption;
    runningStoppable_ = stoppable;
    progressDone_ = 0;
    progressTotal_ = 0;
    progressUnit_.clear();
    protectForRun_ = protect_;
    stop_.reset();
    emit runningChanged(true);
    handler();
    running_ = false;
    runningCaption_.clear();
    runningStoppable_ = false;
    emit runningChanged(false);
    return true;
}

QString Session::runningSummary() const {
    if (!running_)
        return QString();
    QString text = runningCaption_ + QStringLiteral(" is running");
    if (progressTotal_ > 0 && !progressUnit_.isEmpty())
        text += QStringLiteral(" (%1 of %2 %3)").arg(progressDone_).arg(progressTotal_).arg(progressUnit_);
    return text;
}

bool Session::click(Command command) {
    if (!isEnabled(command))
        return false;
    const CommandInfo& info = commandInfo(command);
    return runExclusive(QString::fromLatin1(info.caption), info.stoppable,
                        [this, command] { runButtonHandler(command); });
}

void Session::runButtonHandler(Command command) {
    switch (command) {
    case Command::AutoConnect:
        return cmdAutoConnect_Click();
    case Command::Version:
        return cmdVersion_Click();
    case Command::ICP:
        cmdICP_Click();
        return;
    case Command::OFF:
        cmdOFF_Click();
        return;
    case Command::GetID:
        return cmdGetID_Click();
    case Command::ClearFirmware:
        return cmdClearFirmware_Click();
    case Command::EraseChip:
        cmdEraseChip_Click();
        return;
    case Command::ErasePage:
        cmdErasePage_Click();
        return;
    case Command::EraseSector:
        cmdEraseSector_Click();
        return;
    case Command::GetGlobalCRC:
        cmdGetGlobalCRC_Click();
        return;
    case Command::GetSectorCRC:
        cmdGetSectorCRC_Click();
        return;
    case Command::UCFG1:
        cmdUCFG1_Click();
        return;
    case Command::UCFG2:
        cmdUCFG2_Click();
        return;
    case Command::SetBootVector:
        cmdSetBootVector_Click();
        return;
    case Command::StatusByte:
        cmdStatusByte_Click();
        return;
    case Command::ProgramSecurity:
        cmdProgramSecurity_Click();
        return;
    case Command::CCP:
        cmdCCP_Click();
        return;
    case Command::AutoProcedure:
        return cmdAutoProcedure_Click();
    case Command::LoadFirmware:
        return cmdLoadFirmware_Click();
    case Command::ProgramFirmware:
        cmdProgramFirmware_Click();
        return;
    }
}

bool Session::chooseAutoSelection() {
    return runExclusive(QStringLiteral("Auto Connect"), false, [this] { mnuFileSelectAuto_Click(); });
}

bool Session::chooseComPort(int port) {
    return runExclusive(QStringLiteral("Select COM"), false, [this, port] { mnuFileSelectCOM_Click(port); });
}

bool Session::chooseVerifyFirmware() {
    return runExclusive(QStringLiteral("Verify Firmware"), true, [this] { verifyFirmware(); });
}

bool Session::chooseSaveGoldenCrcs() {
    return runExclusive(QStringLiteral("Save Golden CRCs"), true, [this] { saveGoldenCrcs(); });
}

bool Session::chooseCompareWithGolden() {
    return runExclusive(QStringLiteral("Compare with Golden"), true, [this] { compareWithGolden(); });
}

bool Session::chooseClearLoadedFw() {
    return runExclusive(QStringLiteral("Clear Loaded Fw"), false, [this] { mnuFileClearFw_Click(); });
}

bool Session::chooseLoadAutomationFile() {
    return runExclusive(QStringLiteral("Load Automation File"), false, [this] { mnuFileLoadAuto_Click(); });
}

bool Session::chooseFirmwareFile(const QString& path) {
    if (!isEnabled(Command::LoadFirmware))
        return false;
    return runExclusive(QString::fromLatin1(commandInfo(Command::LoadFirmware).caption), false,
                        [this, &path] { loadFirmware(path); });
}

bool Session::chooseAutomationFile(const QString& path) {
    return runExclusive(QStringLiteral("Load Automation File"), false, [this, &path] { useAutomationFile(path); });
}

bool Session::chooseBaud9600(bool on) {
    // Refused while a command runs too: Auto Connect reopens the port it found at the speed of
    // the menu, which must still be the speed the board was found at.
    return runExclusive(QStringLiteral("Baud Rate"), false, [this, on] {
        if (on)
            mnuFileBaud9600_Click();
        else
            mnuFileBaud57600_Click();
    });
}

void Session::shutdown() {
    dialogs_.close();
    stop_.request();
    link_.abort();
}

void Session::setStatus(const QString& text) {
    statusText_ = text;
    emit statusChanged(text);
}

void Session::setIndicator(Led colour) {
    indicator_ = colour;
    emit indicatorChanged(colour);
}

void Session::showConnection(bool connected) {
    // "Unconnected" keeps the colour the label had: red at start, green after a success.
    connectionText_ = connected ? QStringLiteral("Connected") : QStringLiteral("Unconnected");
    if (connected)
        connectionColour_ = kConnectedColour;
    emit connectionChanged(connectionText_, connectionColour_);
}

void Session::setProgress(int done, int total) {
    progressDone_ = done;
    progressTotal_ = total;
    emit progressChanged(done, total);
}

void Session::setEnabled(Command command, bool enabled) {
    bool& current = enabled_[static_cast<size_t>(command)];
    if (current == enabled)
        return;
    current = enabled;
    emit commandEnabledChanged(command, enabled);
}

void Session::setFoundCpu(const QString& text) {
    foundCpuText_ = text;
    emit foundCpuChanged(text);
}

void Session::setFirmwareLabel(const QString& text) {
    firmwareLabel_ = text;
    emit firmwareLabelChanged(text);
}

void Session::setPortMarks(bool autoSelection, int checkedPort) {
    autoSelectionChecked_ = autoSelection;
    checkedPort_ = checkedPort;
    emit portMarksChanged();
}

void Session::restorePortMarks(bool autoSelection, int port) {
    setPortMarks(autoSelection, port >= 1 && port <= kPortCount ? port : 0);
}

void Session::setProtect(bool ticked) {
    if (!running_)
        protectForRun_ = ticked;
    if (protect_ == ticked)
        return;
    protect_ = ticked;
    emit protectChanged(ticked);
}

void Session::setProtectFromAutomation(bool ticked) {
    protectForRun_ = ticked;
    setProtect(ticked);
}

void Session::setQuickMode(bool ticked) {
    if (quickMode_ == ticked)
        return;
    quickMode_ = ticked;
    emit quickModeChanged(ticked);
}

void Session::setVerifyAfterProgram(bool ticked) {
    if (verifyAfterProgram_ == ticked)
        return;
    verifyAfterProgram_ = ticked;
    emit verifyAfterProgramChanged(ticked);
}

} // namespace zelvan
