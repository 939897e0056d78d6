#include "automation_run.h"

namespace zelvan {

namespace {

// What the run ended with, once its lines are over.
AutomationResult& conclude(AutomationResult& result) {
    if (result.faultNumber)
        result.end(Ending::NotDone, QStringLiteral("the run stopped at %1").arg(result.faultText));
    else if (result.interruptedLine)
        result.end(Ending::Interrupted, QStringLiteral("line %1 was interrupted, and the lines after it were not run")
                                            .arg(*result.interruptedLine));
    else if (result.stoppedAtLine)
        result.end(
            Ending::Interrupted,
            QStringLiteral("stopped before line %1: the lines from there on were not run").arg(*result.stoppedAtLine));
    else if (result.failedSteps > 0)
        result.end(Ending::NotDone, QStringLiteral("%1 step(s) failed").arg(result.failedSteps));
    else
        result.end(Ending::Done);
    return result;
}

} // namespace

AutomationResult runAutomation(LinkContext& ctx, AutomationHost& host, const QList<AutomationLine>& lines) {
    AutomationResult result;
    for (const AutomationLine& line : lines) {
        if (ctx.stop.requested() || ctx.link.aborted()) {
            result.stoppedAtLine = line.number;
            break;
        }
        if (line.command == kNoProtectKeyword || line.command == kProtectKeyword) {
            host.setProtect(line.command == kProtectKeyword);
        } else if (!line.command.isEmpty()) {
            QString faultText;
            const StepOutcome outcome = host.runCommand(line.command, faultText);
            if (outcome == StepOutcome::Fault) {
                result.faultNumber = kAutomationCommandFault;
                result.faultText = QStringLiteral("line %1 (%2): %3").arg(line.number).arg(line.command, faultText);
                return conclude(result);
            }
            if (outcome == StepOutcome::Interrupted)
                result.interruptedLine = line.number;
            if (outcome != StepOutcome::Succeeded)
                ++result.failedSteps;
            ctx.link.processEventsOnce();
        }
        for (const ValueWrite& write : line.writes) {
            // An unusable line sends nothing: a record built from it would write the wrong
            // address or a value that is not one byte.
            const bool written = write.body && ctx.link.exchangeRecord(*write.body).acknowledged();
            ctx.progress.step(written ? write.successText : write.failureText);
            if (!written)
                ++result.failedSteps;
        }
    }
    if (result.interruptedLine && !result.stoppedAtLine)
        result.stoppedAtLine = *result.interruptedLine + 1;
    return conclude(result);
}

} // namespace zelvan
