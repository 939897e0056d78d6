// Choosing and running an automation file.

#include "session.h"

#include "board/automation.h"
#include "common/system_texts.h"
#include "common/version.h"

#include <QFileInfo>

namespace zelvan {

// What an automation run asks of the window: the lists, the cache and Quick Mode as the buttons
// would take them, a part identified beforehand, and each step shown as an unattended command
// shows it (no result box, no beep).
class SessionAutomationFace : public AutomationFace {
public:
    explicit SessionAutomationFace(Session& session)
        : session_(session) {}

    CommandRequest requestFor(Command command) override { return session_.requestFor(command); }
    bool ensurePart(QString& faultText) override {
        if (session_.part())
            return true;
        faultText = QStringLiteral("no device has been identified; use \"Get LPC ID\" first");
        return false;
    }
    void stepEnded(Command command, const CommandResult& result) override { session_.present(command, result, true); }
    void protectionSet(bool protect) override { session_.setProtectTicked(protect); }

private:
    Session& session_;
};

namespace {

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
    const QString phrase = QString::fromLatin1(commandRow(Command::AutoProcedure).phrase);
    if (!QFileInfo::exists(strAutoFile_)) {
        dialogs_.messageBox(systemText::kAutomationFileNotFound, QStringLiteral("Reading Automation File"));
        return;
    }
    // The whole file is checked before anything is sent.
    const AutomationScript script = readAutomationFile(strAutoFile_);
    if (script.fault) {
        setStatus(closingStatus(phrase, Ending::NotDone));
        if (script.fault->unreadable)
            dialogs_.messageBox(
                faultBoxText(kAutomationFileUnreadable,
                             QFileInfo(strAutoFile_).fileName() + QStringLiteral(": ") + script.fault->reason),
                kAppTitle);
        else
            dialogs_.messageBox(refusedFileText(*script.fault), QStringLiteral("Reading Automation File"));
        return;
    }

    BusyPointer busy(dialogs_);
    fgAutoRunning_ = true;
    SessionAutomationFace face(*this);
    CommandRequest request;
    request.script = &script;
    request.automation = &face;
    CommandCall call{board_, *this, *this, request};
    const CommandResult ran = runCommand(Command::AutoProcedure, call);
    const AutomationResult& result = *ran.as<AutomationResult>();
    fgAutoRunning_ = false;
    busy.release();

    // A run that a fault or the user stopped did not do its work either: it ends in an error too.
    setStatus(closingStatus(phrase, result.done() ? Ending::Done : Ending::NotDone));
    if (result.faultNumber)
        dialogs_.messageBox(faultBoxText(*result.faultNumber, result.faultText), kAppTitle);
    else if (result.stoppedAtLine) {
        QString text = result.reason + QLatin1Char('.');
        text[0] = text[0].toUpper();
        dialogs_.messageBox(text, phrase);
    }
}

} // namespace zelvan
