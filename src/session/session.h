#pragma once

#include "commands.h"
#include "guarded_dialogs.h"

#include "common/feedback.h"
#include "common/stop_request.h"
#include "common/version.h"
#include "device/device_catalogue.h"
#include "device/range_selector.h"
#include "firmware/firmware_cache.h"
#include "link/isp_link.h"
#include "programmer/command_context.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace zelvan {

// Everything the window shows and every command it runs, without a widget: the link to the
// board, the identified part, the range selectors, the firmware cache, the option boxes, the menu
// marks and which commands are available. Views follow it through its signals.
//
// The handlers keep the names of the window's controls (cmdGetID_Click, mnuFileSelectCOM_Click).
// The window reaches them through click() and the choose...() entries, which refuse a command
// while another one runs; Auto Connect and the automation call the handlers directly.
class Session : public QObject, public Feedback {
    Q_OBJECT

public:
    explicit Session(Dialogs& dialogs, QObject* parent = nullptr);
    ~Session() override;

    IspLink& link() { return link_; }

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
    void requestStop() { stop_.request(); }

    // The window is closing: any wait ends at once, no further dialog is shown, and the command
    // that runs unwinds promptly.
    void shutdown();

    // ---- Programmer connection
    void cmdAutoConnect_Click();
    void mnuFileSelectAuto_Click();
    void mnuFileSelectCOM_Click(int index);
    void mnuFileBaud9600_Click();
    void mnuFileBaud57600_Click();
    void cmdVersion_Click();
    // ---- Board commands; true when the board acknowledged
    bool cmdICP_Click();
    bool cmdOFF_Click();
    // ---- Identification and the image cache
    void cmdGetID_Click();
    void cmdClearFirmware_Click();
    void mnuFileClearFw_Click();
    // ---- Erasing and CRC read-back; true when the work was done
    bool cmdEraseChip_Click();
    bool cmdErasePage_Click();
    bool cmdEraseSector_Click();
    bool cmdGetGlobalCRC_Click();
    bool cmdGetSectorCRC_Click();
    // ---- Firmware
    void cmdLoadFirmware_Click();
    bool cmdProgramFirmware_Click();
    // ---- Configuration and security bytes; true when the value was written
    bool cmdUCFG1_Click();
    bool cmdUCFG2_Click();
    bool cmdSetBootVector_Click();
    bool cmdStatusByte_Click();
    bool cmdProgramSecurity_Click();
    bool cmdCCP_Click();
    // ---- Verify: the CRCs the chip reports against the loaded firmware (computed with the
    // calibrated formulation), or against golden CRCs saved from a known-good chip. Each shows
    // its result on the status line and in a box naming the sectors that differ; true when the
    // chip holds what it should (or the CRCs were saved).
    bool chooseVerifyFirmware();
    bool chooseSaveGoldenCrcs();
    bool chooseCompareWithGolden();
    bool verifyFirmware();
    bool saveGoldenCrcs();
    bool compareWithGolden();
    // Program Firmware verifies what it wrote when ticked.
    bool verifyAfterProgramTicked() const { return verifyAfterProgram_; }
    void setVerifyAfterProgram(bool ticked);
    // ---- Automation
    void mnuFileLoadAuto_Click();
    void cmdAutoProcedure_Click();
    QString automationFile() const { return strAutoFile_; }

    // ---- What the window shows
    bool isEnabled(Command command) const { return enabled_[static_cast<size_t>(command)]; }
    QString statusText() const { return statusText_; }
    Led indicator() const override { return indicator_; }
    QString connectionText() const { return connectionText_; }
    Rgb connectionColour() const { return connectionColour_; }
    QString foundCpuText() const { return foundCpuText_; }
    QString firmwareLabel() const { return firmwareLabel_; }
    bool autoSelectionChecked() const { return autoSelectionChecked_; }
    // The port item that carries the check mark, 0 for none.
    int checkedPort() const { return checkedPort_; }
    // Puts back the port marks of an earlier run (nothing is opened): Auto Selection, and the
    // COM port (1..8, 0 for none).
    void restorePortMarks(bool autoSelection, int port);
    bool baud9600Checked() const { return link_.baud9600(); }

    // ---- State the commands work on
    // The identified part's flash layout; nothing before the first completed identification.
    const std::optional<DeviceGeometry>& part() const { return part_; }
    RangeSelector& sectorRange() { return sectorRange_; }
    RangeSelector& pageRange() { return pageRange_; }
    const FirmwareCache& firmware() const { return firmware_; }
    // The HEX files loaded since the cache was last cleared, in the order they were loaded. A new
    // identification reads them again into the cache of the part it found.
    const QStringList& loadedFirmwareFiles() const { return loadedFiles_; }
    // Something was loaded since the last clear (the state "Clear Firmware" is enabled in).
    bool firmwareLoaded() const { return isEnabled(Command::ClearFirmware); }
    bool protectTicked() const { return protect_; }
    // The box as the user ticks it: while a command runs, the change applies to the next one.
    void setProtect(bool ticked);
    // The box as an automation file's "protect" / "noprotect" line sets it: at once, for the
    // rest of the run too.
    void setProtectFromAutomation(bool ticked);
    bool quickModeTicked() const { return quickMode_; }
    void setQuickMode(bool ticked);
    bool fgAutoRunning() const { return fgAutoRunning_; }

    // ---- Feedback (status line, indicator, connection label, progress)
    void setStatus(const QString& text) override;
    void setIndicator(Led colour) override;
    void showConnection(bool connected) override;
    void setProgress(int done, int total) override;

signals:
    void statusChanged(const QString& text);
    void indicatorChanged(zelvan::Led colour);
    void connectionChanged(const QString& text, Rgb colour);
    void foundCpuChanged(const QString& text);
    void firmwareLabelChanged(const QString& text);
    void commandEnabledChanged(zelvan::Command command, bool enabled);
    void portMarksChanged();
    void protectChanged(bool ticked);
    void quickModeChanged(bool ticked);
    void verifyAfterProgramChanged(bool ticked);
    // Units done of the units of a long command; a total of 0 ends the indication.
    void progressChanged(int done, int total);
    // A HEX file went into the cache from Load Firmware, a drop or the recent files (not when an
    // identification reads the loaded files again).
    void firmwareFileLoaded(const QString& path);
    // A command started or ended (canStop() says whether the one that started can be stopped).
    void runningChanged(bool running);

private:
    // The context of a command: while the automation runs, its result boxes and beeps are left out.
    CommandContext context() {
        return CommandContext{link_, *this, fgAutoRunning_ ? static_cast<Dialogs&>(quietDialogs_) : dialogs_, stop_};
    }
    void setEnabled(Command command, bool enabled);
    void setFoundCpu(const QString& text);
    void setFirmwareLabel(const QString& text);
    void setPortMarks(bool autoSelection, int checkedPort);
    void onPortLost(const QString& reason);
    void loadFirmware(const QString& givenPath);
    void useAutomationFile(const QString& path);
    // The cache took the file: the commands that work on it are available and the label names it.
    void showLoaded(const QString& path);
    // After an identification: the files loaded before it, read into the new part's cache.
    void reloadFirmware(const QStringList& files);
    // The handler behind a button.
    void runButtonHandler(Command command);
    // Runs a command from the window unless one is running already; caption names it while it runs.
    template <typename F> bool runExclusive(const QString& caption, bool stoppable, F&& handler);
    // What the progress of the command about to run counts ("pages", "sectors").
    void countProgressIn(const QString& unit) { progressUnit_ = unit; }

    IspLink link_;
    GuardedDialogs dialogs_;
    QuietDialogs quietDialogs_{dialogs_};
    StopRequest stop_;
    std::array<bool, kCommandCount> enabled_{};
    QString statusText_;
    Led indicator_ = Led::Green;
    QString connectionText_;
    Rgb connectionColour_;
    QString foundCpuText_;
    QString firmwareLabel_;
    bool autoSelectionChecked_ = false;
    int checkedPort_ = 0;

    std::optional<DeviceGeometry> part_;
    QString partId2_; // the identified part's device id 2, its key in the catalogue
    RangeSelector sectorRange_;
    RangeSelector pageRange_;
    FirmwareCache firmware_;
    QStringList loadedFiles_;
    bool protect_ = true;
    // The protection the running command works with: the box as it stood when the command
    // started (or as the automation file set it since).
    bool protectForRun_ = true;
    bool quickMode_ = false;
    bool verifyAfterProgram_ = false;
    bool fgAutoRunning_ = false;
    QString strAutoFile_;
    bool running_ = false;
    bool runningStoppable_ = false;
    QString runningCaption_;
    int progressDone_ = 0;
    int progressTotal_ = 0;
    QString progressUnit_;
};

} // namespace zelvan
