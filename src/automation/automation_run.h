#pragma once

#include "automation_file.h"

#include "programmer/command_context.h"

#include <QString>

#include <optional>

namespace zelvan {

// How one command of the run went.
enum class StepOutcome {
    Succeeded,
    Failed, // the command did not do its work; the run goes on
    Fault,  // the command cannot run at all; the run stops
};

// What an automation run drives: the front end's protection setting and commands.
class AutomationHost {
public:
    virtual ~AutomationHost() = default;
    virtual void setProtect(bool ticked) = 0;
    // Runs the command a keyword names, as its button does, with the automation's quiet boxes.
    // A fault sets faultText to what stopped it.
    virtual StepOutcome runKeyword(CommandKeyword keyword, QString& faultText) = 0;
};

struct AutomationResult {
    bool allSucceeded = true;
    // Set when a fault stopped the run: the fault's number and what happened.
    std::optional<int> faultNumber;
    QString faultText;
    // Set when the user stopped the run: the line that was not run any more.
    std::optional<int> stoppedAtLine;
};

// Fault numbers of a run.
inline constexpr int kAutomationFileUnreadable = 1;
inline constexpr int kAutomationCommandFault = 2;

// Runs the lines from top to bottom: each command keyword through the host, then each value
// keyword's write record, with its status line. A failed step does not stop the run; a fault, or
// the user's request to stop (looked at before each line), does.
AutomationResult runAutomation(CommandContext& ctx, AutomationHost& host, const QList<AutomationLine>& lines);

} // namespace zelvan
