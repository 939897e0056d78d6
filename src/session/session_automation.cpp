// Choosing and running an automation file.

#include "session.h"

#include "automation/automation_file.h"
#include "automation/automation_run.h"
#include "common/busy_pointer.h"
#include "common/regular_file.h"
#include "common/system_texts.h"
#include "programmer/outcome_report.h"

#include <QFileInfo>

namespace zelvan {

namespace {

// The run drives the session's own handlers, as the buttons do.
class SessionAutomationHost : public AutomationHost {
public:
    explicit SessionAutomationHost(Session& session)
        : session_(session) {}

    void setProtect(bool ticked) override { session_.setProtectFromAutomation(ticked); }

    StepOutcome runKeyword(CommandKeyword keyword, QString& faultText) override {
        if (keywordNeedsPart(keyword) && !session_.part()) {
            faultText = QStringLiteral("no device has been identified; use \"Get LPC ID\" first");
            return StepOutcome::Fault;
        }
        switch (keyword) {
        case CommandKeyword::Pon:
            return outcome(session_.cmdICP_Click());
        case CommandKeyword::Poff:
            return outcome(session_.cmdOFF_Click());
        case CommandKeyword::Scrc:
            return outcome(session_.cmdGetSectorCRC_Click());
        case CommandKeyword::Gcrc:
            return outcome(session_.cmdGetGlobalCRC_Click());
        case CommandKeyword::Echip:
            return outcome(session_.cmdEraseChip_Click());
        case CommandKeyword::Epage:
            return outcome(session_.cmdErasePage_Click());
        case CommandKeyword::Esector:
            return outcome(session_.cmdEraseSector_Click());
        case CommandKeyword::Program:
            // Programming with nothing loaded would send nothing and pass for done work.
            if (!session_.firmwareLoaded()) {
                session_.setStatus(QStringLiteral("Programming Firmware: Error (no firmware is loaded)"));
                return StepOutcome::Failed;
            }
            return outcome(session_.cmdProgramFirmware_Click());
        case CommandKeyword::NoProtect:
        case CommandKeyword::Protect:
            break;
        }
        return StepOutcome::Succeeded;
    }

private:
    static StepOutcome outcome(bool succeeded) { return succeeded ? StepOutcome::Succeeded : StepOutcome::Failed; }

    Session& session_;
};

QString faultBoxText(int number, const QString& what) {
    return QStringLiteral("Error:  %1\r\n%2").arg(number).arg(what);
}

QString refusedFileText(const AutomationFileFault& fault) {
    if (fault.line == 0)
        return QStringLiteral("The automation file was not run: %1.").arg(fault.reason);
    return QStringLiteral("The automation file was not run: line %1, \"%2\", %3.")
        .arg(fault.line)
        .arg(fault.text, fault.reason);
}

} // namespace

void Session::mnuFileLoadAuto_Click() {
    const QString path =
        dialogs_.openFileName({QStringLiteral("Select Automation File"),
                               QStringLiteral("CFG Files (*.cfg);;All Files (*)"), QStringLiteral("cfg")});
    if (!path.isEmpty())
        useAutomationFile(path);
}

void Session::useAutomationFile(const QString& path) {
    strAutoFile_ = path;
    setEnabled(Command::AutoProcedure, true);
}

void Session::cmdAutoProcedure_Click() {
    const QString closing = QStringLiteral("Automatic Programming");
    if (!QFileInfo::exists(strAutoFile_)) {
        dialogs_.messageBox(systemText::kAutomationFileNotFound, QStringLiteral("Reading Automation File"));
        return;
    }
    const FileContent content = readRegularFile(strAutoFile_, kMaxAutomationFileBytes);
    if (!content.ok()) {
        setStatus(closingStatus(closing, Ending::Error));
        dialogs_.messageBox(faultBoxText(kAutomationFileUnreadable,
                                         QFileInfo(strAutoFile_).fileName() + QStringLiteral(": ") + content.reason),
                            kAppTitle);
        return;
    }
    // The whole file is checked before anything is sent.
    const AutomationScript script = parseAutomationFile(content.bytes);
    if (script.fault) {
        setStatus(closingStatus(closing, Ending::Error));
        dialogs_.messageBox(refusedFileText(*script.fault), QStringLiteral("Reading Automation File"));
        return;
    }

    BusyPointer busy(dialogs_);
    fgAutoRunning_ = true;
    CommandContext ctx = context();
    SessionAutomationHost host(*this);
    const AutomationResult result = runAutomation(ctx, host, script.lines);
    fgAutoRunning_ = false;
    busy.release();

    // A run that a fault or the user stopped did not do its work either: it ends in an error too.
    setStatus(closingStatus(closing, endingOf(result.allSucceeded && !result.faultNumber)));
    if (result.faultNumber)
        dialogs_.messageBox(faultBoxText(*result.faultNumber, result.faultText), kAppTitle);
    else if (result.stoppedAtLine)
        dialogs_.messageBox(
            QStringLiteral("Stopped before line %1: the lines from there on were not run.").arg(*result.stoppedAtLine),
            closing);
}

} // namespace zelvan
