#include "board_commands.h"

#include "outcome_report.h"

#include "common/busy_pointer.h"

namespace zelvan {

const BoardCommand& icpModeCommand() {
    static const BoardCommand command{'P', QStringLiteral("Peripheral ICP Mode")};
    return command;
}

const BoardCommand& powerOffCommand() {
    static const BoardCommand command{'S', QStringLiteral("Peripheral Power OFF")};
    return command;
}

bool runBoardCommand(CommandContext& ctx, const BoardCommand& command) {
    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setStatus(command.phrase + QStringLiteral("..."));
    ctx.feedback.setIndicator(Led::Yellow);

    // The letter goes alone: no ":", no checksum, no line end. The indicator goes straight from
    // yellow to the outcome.
    const Outcome outcome = showOutcome(ctx.feedback, ctx.link.exchangeLetter(command.letter));
    const bool done = outcome == Outcome::Acknowledged;
    const QString doneText = closingStatus(command.phrase, Ending::Done);

    busy.release();
    ctx.dialogs.showResult(done ? doneText : failureText(outcome), command.phrase);
    ctx.feedback.setStatus(closingStatus(command.phrase, endingOf(done)));
    return done;
}

} // namespace zelvan
