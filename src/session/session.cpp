#include "session.h"

#include "result_boxes.h"

#include "common/system_texts.h"
#include "flash/byte_entry.h"
#include "link/port_names.h"
#include "link/wire_log.h"
#include "production/crc_variant_setting.h"

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
    setStageEnabled(Availability::Always, true);
    connect(&board_.link(), &IspLink::portLost, this, &Session::onPortLost);
}

Session::~Session() = default;

void Session::onPortLost(const QString& reason) {
    // The adapter went away under an open port: whatever runs fails on its own; the window
    // must not go on saying "Connected".
    showConnection(false);
    indicate(Led::Red);
    setStatus(QStringLiteral("Programmer connection lost: ") + reason);
}

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
    // The command works with the protection the box had when it started.
    board_.setProtect(protect_);
    board_.clearStop();
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
    const CommandRow& row = commandRow(command);
    return runExclusive(captionOf(command), row.stoppable, [this, command] { run(command); });
}

bool Session::run(Command command) {
    // The window's own commands: they work on its state, or ask for files first.
    struct Own {
        Command command;
        void (Session::*handler)();
    };
    static constexpr Own kOwn[] = {
        {Command::AutoConnect, &Session::cmdAutoConnect_Click},
        {Command::GetID, &Session::cmdGetID_Click},
        {Command::ClearFirmware, &Session::cmdClearFirmware_Click},
        {Command::LoadFirmware, &Session::cmdLoadFirmware_Click},
        {Command::AutoProcedure, &Session::cmdAutoProcedure_Click},
    };
    for (const Own& own : kOwn) {
        if (own.command == command) {
            (this->*own.handler)();
            return true;
        }
    }
    if (commandRow(command).place == WindowPlace::VerifyMenu)
        return runVerifyMenu(command);
    return runTableCommand(command, false);
}

bool Session::chooseAutoSelection() {
    return runExclusive(captionOf(Command::AutoConnect), false, [this] { cmdAutoConnect_Click(); });
}

bool Session::chooseComPort(int port) {
    return runExclusive(QStringLiteral("Select COM"), false, [this, port] { mnuFileSelectCOM_Click(port); });
}

bool Session::chooseClearLoadedFw() {
    return runExclusive(QStringLiteral("Clear Loaded Fw"), false, [this] { cmdClearFirmware_Click(); });
}

bool Session::chooseLoadAutomationFile() {
    return runExclusive(QStringLiteral("Load Automation File"), false, [this] { mnuFileLoadAuto_Click(); });
}

bool Session::chooseFirmwareFile(const QString& path) {
    if (!isEnabled(Command::LoadFirmware))
        return false;
    return runExclusive(captionOf(Command::LoadFirmware), false, [this, &path] { loadFirmware(path); });
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
    board_.requestStop();
    board_.link().abort();
}

CommandRequest Session::requestFor(Command command) const {
    CommandRequest request;
    const RangeSelector& range = command == Command::ErasePage ? pageRange_ : sectorRange_;
    request.range = UnitRange{range.startIndex(), range.endIndex()};
    request.program.image = firmwareLoaded() ? &firmware_ : nullptr;
    request.program.quick = quickMode_;
    request.configByte = configByteAt(commandRow(command).configAddress);
    return request;
}

bool Session::runTableCommand(Command command, bool unattended) {
    CommandRequest request = requestFor(command);
    // Program Firmware verifies what it wrote when the menu says so; an automation run does not.
    if (command == Command::ProgramFirmware && verifyAfterProgram_ && !unattended)
        request.program.verify = {VerifyChoice::Kind::Image, &calibratedCrcVariant(), nullptr, crcVariantCalibrated()};
    noticeTitle_ = command == Command::ProgramFirmware ? QStringLiteral("Peripheral Programming") : captionOf(command);
    BusyPointer busy(dialogs_);
    CommandCall call{board_, *this, *this, request};
    const CommandResult result = runCommand(command, call);
    busy.release();
    present(command, result, unattended);
    if (const auto* programmed = result.as<ChipProgramming>(); programmed && programmed->verification)
        showVerification(Command::VerifyFirmware, result);
    return result.done();
}

void Session::present(Command command, const CommandResult& result, bool unattended) {
    const Presentation shown = presentation(command, result);
    if (shown.statusFirst && !shown.status.isEmpty())
        setStatus(shown.status);
    if (shown.box == Presentation::Box::Message)
        dialogs_.messageBox(shown.boxText, shown.boxTitle);
    else if (shown.box == Presentation::Box::Result && !unattended)
        dialogs_.showResult(shown.boxText, shown.boxTitle);
    if (!shown.statusFirst && !shown.status.isEmpty())
        setStatus(shown.status);
}

// ---- Progress and questions of the command that runs

void Session::setStatus(const QString& text) {
    statusText_ = text;
    emit statusChanged(text);
}

void Session::indicate(Led colour) {
    indicator_ = colour;
    emit indicatorChanged(colour);
}

void Session::step(const QString& text) {
    setStatus(text);
}

void Session::stage(const QString&, const QString& unit) {
    progressUnit_ = unit;
}

void Session::units(int done, int total) {
    progressDone_ = done;
    progressTotal_ = total;
    emit progressChanged(done, total);
}

void Session::notice(const QString& text) {
    // Attended, it is a box before the work goes on; an unattended run does not stop for it, but
    // the user is told on the status line and in the Link Log.
    if (!fgAutoRunning_) {
        dialogs_.messageBox(text, noticeTitle_);
        return;
    }
    setStatus(text);
    logNote(board_.link().portLabel(), text);
}

void Session::synchronised(bool answered) {
    showConnection(answered);
    if (answered)
        setStageEnabled(Availability::Synchronised, true);
}

std::optional<QString> Session::byteValue(const ByteQuestion& question) {
    // Asks until a byte is accepted ("Uncorrect Value" after each entry that is not one) or the
    // user gives up (an empty entry or cancel).
    for (;;) {
        const QString entry = dialogs_.inputBox(question.prompt, question.title, question.current);
        if (entry.isEmpty())
            return std::nullopt;
        if (std::optional<QString> value = normaliseByteEntry(entry))
            return value;
        dialogs_.messageBox(systemText::kUncorrectValue, question.refusalTitle);
    }
}

bool Session::confirm(const QString& question, const QString& title) {
    return dialogs_.confirm(question, title);
}

// ---- What the window shows

void Session::showConnection(bool connected) {
    // "Unconnected" keeps the colour the label had: red at start, green after a success.
    connectionText_ = connected ? QStringLiteral("Connected") : QStringLiteral("Unconnected");
    if (connected)
        connectionColour_ = kConnectedColour;
    emit connectionChanged(connectionText_, connectionColour_);
}

void Session::setEnabled(Command command, bool enabled) {
    bool& current = enabled_[static_cast<size_t>(command)];
    if (current == enabled)
        return;
    current = enabled;
    emit commandEnabledChanged(command, enabled);
}

void Session::setStageEnabled(Availability stage, bool enabled) {
    for (const CommandRow& row : commandTable()) {
        if (row.availability == stage && row.place != WindowPlace::None)
            setEnabled(row.command, enabled);
    }
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

std::optional<DeviceGeometry> Session::part() const {
    if (!board_.part())
        return std::nullopt;
    return board_.part()->geometry;
}

void Session::setProtect(bool ticked) {
    if (!running_)
        board_.setProtect(ticked);
    setProtectTicked(ticked);
}

void Session::setProtectTicked(bool ticked) {
    if (protect_ == ticked)
        return;
    protect_ = ticked;
    emit protectChanged(ticked);
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
