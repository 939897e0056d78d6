#include "automation.h"

#include "common/regular_file.h"

#include <QFileInfo>

namespace zelvan {

namespace {

// Runs each keyword's command through the command table, as the front end's buttons or commands
// would, and hands each result to the front end.
class ScriptHost : public AutomationHost {
public:
    ScriptHost(Board& board, Progress& progress, AutomationFace& face)
        : board_(board)
        , progress_(progress)
        , face_(face) {}

    void setProtect(bool protect) override {
        board_.setProtect(protect);
        face_.protectionSet(protect);
    }

    StepOutcome runCommand(const QString& keyword, QString& faultText) override {
        const CommandRow* row = commandByKeyword(keyword);
        if (!row) {
            faultText = QStringLiteral("no command has this keyword");
            return StepOutcome::Fault;
        }
        if (row->needsPart && !face_.ensurePart(faultText))
            return StepOutcome::Fault;
        const CommandRequest request = face_.requestFor(row->command);
        CommandCall call{board_, progress_, questions_, request};
        const CommandResult result = zelvan::runCommand(row->command, call);
        face_.stepEnded(row->command, result);
        // A step cut short by a stop (between its records, or by ending the wait for one) was
        // interrupted, whatever its last record answered.
        if (!result.done() && (result.ending() == Ending::Interrupted || board_.stop().requested()))
            return StepOutcome::Interrupted;
        return result.done() ? StepOutcome::Succeeded : StepOutcome::Failed;
    }

private:
    Board& board_;
    Progress& progress_;
    AutomationFace& face_;
    NoQuestions questions_{true};
};

} // namespace

AutomationResult runAutomationScript(Board& board, Progress& progress, AutomationFace& face,
                                     const AutomationScript& script) {
    ScriptHost host(board, progress, face);
    LinkContext ctx = board.context(progress);
    return runAutomation(ctx, host, script.lines);
}

AutomationScript readAutomationFile(const QString& path) {
    const FileContent content = readRegularFile(path, kMaxAutomationFileBytes);
    if (!content.ok()) {
        AutomationScript script;
        script.fault = AutomationFileFault{0, QString(), content.reason, true};
        return script;
    }
    return parseAutomationFile(content.bytes, commandKeywords());
}

} // namespace zelvan
