#pragma once

#include "dialogs.h"

#include "board/board.h"
#include "board/command_call.h"
#include "common/led.h"
#include "common/questions.h"
#include "device/range_selector.h"
#include "firmware/firmware_cache.h"
#include "firmware/hex_image.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace zelvan {

// The window's face of the core: everything the window shows, without a widget. It keeps the
// window's state (the identified part's lists, the loaded firmware, the option boxes, the menu
// marks, which commands are available), runs the commands of the command table on its board, and
// turns their results into exactly the status lines, indicator colours and boxes the window shows.
// Views follow it through its signals.
//
// The window reaches the commands through click() and the choose...() entries, which refuse a
// command while another one runs.
class Session : public QObject, public ConnectionProgress, public Questions {
    Q_OBJECT

public:
    explicit Session(Dialogs& dialogs, QObject* parent = nullptr);
    ~Session() override;

    Board& board() { return board_; }
    IspLink& link() { return board_.link(); }

    // ---- Entries for the window: each refuses (returns false, sends nothing) while a command runs.
    bool click(Command command);
    bool chooseAutoSelection();
    bool chooseComPort(int port);
    bool chooseClearLoadedFw();
    bool chooseLoadAutomationFile();
    // Loads the given HEX file as Load Firmware does (same warnings and boxes), for a file dropped
    // on the window or taken from the recent ones; refused while Load Firmware is not available.
    bool chooseFirmwareFile(const QString& path);
    // The given file becomes the automation file, as with Load Automation File.
    bool chooseAutomationFile(const QString& path);
    // The baud menu only moves its check mark; it is taken at the next port opening.
    bool chooseBaud9600(bool on);
    bool isRunning() const { return running_; }

    // Runs a command at once, as its button does, without the check that none runs (the window's
    // own sequences: Auto Connect's identification, the tests).
    bool run(Command command);

    // ---- The command that runs, for the window's Stop button and its question before closing.
    // The caption of the command or menu entry that runs; empty while none runs.
    QString runningCaption() const { return runningCaption_; }
    // The running command looks for a stop request between its units (see requestStop()).
    bool canStop() const { return running_ && runningStoppable_; }
    // What runs and how far it got: "Program Firmware is running (12 of 40 pages)"; empty while
    // nothing runs.
    QString runningSummary() const;
    // The user asks the running command to stop: a long command (programming, a range of erases
    // or CRCs, an automation run) ends after the record in flight has been answered.
    void requestStop() { board_.requestStop(); }
    // The window is closing: any wait ends at once, no further dialog is shown, and the command
    // that runs unwinds promptly.
    void shutdown();

    // ---- Handlers with their own steps (the other commands run through the command table)
    void cmdAutoConnect_Click();
    void mnuFileSelectCOM_Click(int index);
    void mnuFileBaud9600_Click();
    void mnuFileBaud57600_Click();
    void cmdGetID_Click();
    void cmdClearFirmware_Click();
    void cmdLoadFirmware_Click();
    void mnuFileLoadAuto_Click();
    void cmdAutoProcedure_Click();
    QString automationFile() const { return strAutoFile_; }

    // Program Firmware verifies what it wrote when ticked.
    bool verifyAfterProgramTicked() const { return verifyAfterProgram_; }
    void setVerifyAfterProgram(bool ticked);

    // ---- What the window shows
    bool isEnabled(Command command) const { return enabled_[static_cast<size_t>(command)]; }
    QString statusText() const { return statusText_; }
    Led indicator() const { return indicator_; }
    QString connectionText() const { return connectionText_; }
    Rgb connectionColour() const { return connectionColour_; }
    QString foundCpuText() const { return foundCpuText_; }
    QString firmwareLabel() const { return firmwareLabel_; }
    bool autoSelectionChecked() const { return autoSelectionChecked_; }
    // The port item that carries the check mark, 0 for none.
    int checkedPort() const { return checkedPort_; }
    bool baud9600Checked() const { return board_.link().baud9600(); }

    // ---- State the commands work on
    // The identified part's flash layout; nothing before the first completed identification.
    std::optional<DeviceGeometry> part() const;
    RangeSelector& sectorRange() { return sectorRange_; }
    RangeSelector& pageRange() { return pageRange_; }
    // The loaded firmware laid out for the identified part.
    const FirmwareCache& firmware() const { return firmware_; }
    // Something was loaded since the last clear (the state "Clear Firmware" is enabled in).
    bool firmwareLoaded() const { return isEnabled(Command::ClearFirmware); }
    bool protectTicked() const { return protect_; }
    // The box as the user ticks it: while a command runs, the change applies to the next one.
    void setProtect(bool ticked);
    bool quickModeTicked() const { return quickMode_; }
    void setQuickMode(bool ticked);
    bool fgAutoRunning() const { return fgAutoRunning_; }

    // ---- Progress of the command that runs (status line, indicator, connection label, progress)
    void indicate(Led colour) override;
    void step(const QString& text) override;
    void stage(const QString& task, const QString& unit) override;
    void units(int done, int total) override;
    void notice(const QString& text) override;
    void synchronised(bool answered) override;
    // ---- Questions of the command that runs, as boxes
    std::optional<QString> byteValue(const ByteQuestion& question) override;
    bool confirm(const QString& question, const QString& title) override;

    void setStatus(const QString& text);

signals:
    void statusChanged(const QString& text);
    void indicatorChanged(zelvan::Led colour);
    void connectionChanged(const QString& text, zelvan::Rgb colour);
    void foundCpuChanged(const QString& text);
    void firmwareLabelChanged(const QString& text);
    void commandEnabledChanged(zelvan::Command command, bool enabled);
    void portMarksChanged();
    void protectChanged(bool ticked);
    void quickModeChanged(bool ticked);
    void verifyAfterProgramChanged(bool ticked);
    // Units done of the units of a long command; a total of 0 ends the indication.
    void progressChanged(int done, int total);
    // A HEX file went into the cache from Load Firmware, a drop or the recent files.
    void firmwareFileLoaded(const QString& path);
    // A command started or ended (canStop() says whether the one that started can be stopped).
    void runningChanged(bool running);

private:
    friend class SessionAutomationFace;

    // Runs a command from the window unless one is running already; caption names it while it runs.
    template <typename F> bool runExclusive(const QString& caption, bool stoppable, F&& handler);
    // The request a command of the table works on: the lists, the cache, Quick Mode.
    CommandRequest requestFor(Command command) const;
    // Runs a command of the table and shows its result; unattended: as an automation run shows it.
    // False when it was not done.
    bool runTableCommand(Command command, bool unattended);
    // Shows a command's result: its closing status line and its box.
    void present(Command command, const CommandResult& result, bool unattended);
    // The verify after Program Firmware, and the Verify menu's commands, with their own checks.
    bool runVerifyMenu(Command command);
    void showVerification(Command command, const CommandResult& result, const QString& path = QString());

    void setEnabled(Command command, bool enabled);
    // Every command of the window that becomes available at the stage.
    void setStageEnabled(Availability stage, bool enabled);
    void showConnection(bool connected);
    void setFoundCpu(const QString& text);
    void setFirmwareLabel(const QString& text);
    void setPortMarks(bool autoSelection, int checkedPort);
    void onPortLost(const QString& reason);
    void loadFirmware(const QString& givenPath);
    // The box that says the firmware reaches beyond the part's flash.
    void warnOverFlash();
    void useAutomationFile(const QString& path);
    // The ticked state of the protection box, as an automation line sets it.
    void setProtectTicked(bool ticked);

    Board board_;
    GuardedDialogs dialogs_;
    std::array<bool, kCommandCount> enabled_{};
    QString statusText_;
    Led indicator_ = Led::Green;
    QString connectionText_;
    Rgb connectionColour_;
    QString foundCpuText_;
    QString firmwareLabel_;
    bool autoSelectionChecked_ = false;
    int checkedPort_ = 0;

    RangeSelector sectorRange_;
    RangeSelector pageRange_;
    // What the loaded files wrote, as read once; laid out for each part identified.
    HexImage loaded_;
    QStringList loadedPaths_;
    FirmwareCache firmware_;
    bool protect_ = true;
    bool quickMode_ = false;
    bool verifyAfterProgram_ = false;
    bool fgAutoRunning_ = false;
    QString strAutoFile_;
    bool running_ = false;
    bool runningStoppable_ = false;
    QString runningCaption_;
    QString noticeTitle_;
    int progressDone_ = 0;
    int progressTotal_ = 0;
    QString progressUnit_;
};

} // namespace zelvan
