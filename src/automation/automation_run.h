#pragma once

#include "automation_file.h"

#include "common/ending.h"
#include "link/link_context.h"

#include <QString>

#include <optional>

namespace zelvan {

// How one command of the run went.
enum class StepOutcome {
    Succeeded,
    Failed,      // the command did not do its work; the run goes on
    Interrupted, // the user stopped the command; the run ends there
    Fault,       // the command cannot run at all; the run stops
};

// What an automation run drives: the protection for the rest of the run, and the commands its
// keywords name.
class AutomationHost {
public:
    virtual ~AutomationHost() = default;
    virtual void setProtect(bool protect) = 0;
    // Runs the command the keyword names. A fault sets faultText to what stopped it.
    virtual StepOutcome runCommand(const QString& keyword, QString& faultText) = 0;
};

struct AutomationResult : Result {
    int failedSteps = 0;
    // Set when a fault stopped the run: the fault's number and what happened.
    std::optional<int> faultNumber;
    QString faultText;
    // Set when the user stopped the run: the line whose command was cut short (if one was), and the
    // first line that was not run any more.
    std::optional<int> interruptedLine;
    std::optional<int> stoppedAtLine;
};

// Fault numbers of a run.
inline constexpr int kAutomationFileUnreadable = 1;
inline constexpr int kAutomationCommandFault = 2;

// Runs the lines from top to bottom: each command keyword through the host, then each value
// keyword's write record, reporting its closing line as a step. A failed step does not stop the
// run; a fault, or the user's request to stop (looked at before each line), does. Done only when
// every step succeeded.
AutomationResult runAutomation(LinkContext& ctx, AutomationHost& host, const QList<AutomationLine>& lines);

} // namespace zelvan
