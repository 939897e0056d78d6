// Choosing and running an automation file.

#include "session.h"

#include "automation/automation_run.h"

#include <QFile>
#include <QFileInfo>

namespace zelvan {

namespace {

// The run drives the session's own handlers, as the buttons do.
class SessionAutomationHost : public AutomationHost {
public:
    explicit SessionAutomationHost(Session& session)
        : session_(session) {}

    void setProtect(bool ticked) override { session_.setProtect(ticked); }

    StepOutcome runKeyword(CommandKeyword keyword, QString& faultText) override {
        // These work on the identified part's pages, sectors or firmware cache; before a part
        // is identified they have nothing to work on.
        const bool needsPart = keyword == CommandKeyword::Epage || keyword == CommandKeyword::Esector ||
                               keyword == CommandKeyword::Scrc || keyword == CommandKeyword::Program;
        if (needsPart && !session_.deviceIdentified()) {
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

} // namespace

void Session::mnuFileLoadAuto_Click() {
    const QString path =
        dialogs_.openFileName({QStringLiteral("Select Automation File"),
                               QStringLiteral("CFG Files (*.cfg);;All Files (*)"), QStringLiteral("cfg")});
    if (path.isEmpty())
        return;
    strAutoFile_ = path;
    setEnabled(Command::AutoProcedure, true);
}

void Session::cmdAutoProcedure_Click() {
    if (!QFileInfo::exists(strAutoFile_)) {
        dialogs_.messageBox(QStringLiteral("Automation File file not found"),
                            QStringLiteral("Reading Automation File"));
        return;
    }
    dialogs_.setBusyPointer(true);
    fgAutoRunning_ = true;

    AutomationResult result;
    QFile file(strAutoFile_);
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxAutomationFileBytes) {
        const QList<AutomationLine> lines = parseAutomationFile(file.readAll());
        file.close();
        CommandContext ctx = context();
        SessionAutomationHost host(*this);
        result = runAutomation(ctx, host, lines);
    } else {
        result.faultNumber = kAutomationFileUnreadable;
        result.faultText =
            QStringLiteral("%1: %2").arg(QFileInfo(strAutoFile_).fileName(),
                                         file.isOpen() ? QStringLiteral("the file is too large") : file.errorString());
    }

    fgAutoRunning_ = false;
    dialogs_.setBusyPointer(false);
    // A run that a fault stopped did not do its work either: it ends in an error too.
    setStatus(result.allSucceeded && !result.faultNumber ? QStringLiteral("Automatic Programming: Done")
                                                         : QStringLiteral("Automatic Programming: Error"));
    if (result.faultNumber)
        dialogs_.messageBox(faultBoxText(*result.faultNumber, result.faultText), kAppTitle);
}

} // namespace zelvan
