#include "automation_run.h"

namespace zelvan {

AutomationResult runAutomation(CommandContext& ctx, AutomationHost& host, const QList<AutomationLine>& lines) {
    AutomationResult result;
    for (const AutomationLine& line : lines) {
        if (ctx.stop.requested() || ctx.link.aborted()) {
            result.allSucceeded = false;
            result.stoppedAtLine = line.number;
            break;
        }
        if (line.command) {
            switch (*line.command) {
            case CommandKeyword::NoProtect:
                host.setProtect(false);
                break;
            case CommandKeyword::Protect:
                host.setProtect(true);
                break;
            default: {
                QString faultText;
                const StepOutcome outcome = host.runKeyword(*line.command, faultText);
                if (outcome == StepOutcome::Fault) {
                    result.allSucceeded = false;
                    result.faultNumber = kAutomationCommandFault;
                    result.faultText =
                        QStringLiteral("line %1 (%2): %3").arg(line.number).arg(keywordText(*line.command), faultText);
                    return result;
                }
                result.allSucceeded = result.allSucceeded && outcome == StepOutcome::Succeeded;
                break;
            }
            }
            ctx.link.processEventsOnce();
        }
        for (const ValueWrite& write : line.writes) {
            // An unusable line sends nothing: a record built from it would write the wrong
            // address or a value that is not one byte.
            const bool written = write.body && ctx.link.exchangeRecord(*write.body).acknowledged();
            ctx.feedback.setStatus(written ? write.successText : write.failureText);
            result.allSucceeded = result.allSucceeded && written;
        }
    }
    return result;
}

} // namespace zelvan
