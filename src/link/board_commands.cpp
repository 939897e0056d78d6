#include "board_commands.h"

#include "exchange.h"

namespace zelvan {

const BoardCommand& icpModeCommand() {
    static const BoardCommand command{'P', QStringLiteral("Peripheral ICP Mode..."),
                                      QStringLiteral("Peripheral ICP Mode: Done"),
                                      QStringLiteral("Peripheral ICP Mode")};
    return command;
}

const BoardCommand& powerOffCommand() {
    static const BoardCommand command{'S', QStringLiteral("Peripheral Power OFF..."),
                                      QStringLiteral("Peripheral Power OFF: Done"),
                                      QStringLiteral("Peripheral Power OFF")};
    return command;
}

bool runBoardCommand(CommandContext& ctx, const BoardCommand& command) {
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setStatus(command.startText);
    ctx.feedback.setIndicator(Led::Yellow);

    // The letter goes alone: no ":", no checksum, no line end.
    ctx.link.send(QByteArray(1, command.letter));
    ctx.link.WaitResponse();
    const Outcome outcome = judgeAnswer(ctx);
    const QString result = outcome == Outcome::Acknowledged ? command.doneText : failureText(outcome);

    ctx.dialogs.setBusyPointer(false);
    if (!ctx.fgAutoRunning) {
        ctx.dialogs.beep();
        ctx.dialogs.messageBox(result, command.boxTitle);
    }
    ctx.feedback.setStatus(command.doneText);
    return outcome == Outcome::Acknowledged;
}

} // namespace zelvan
