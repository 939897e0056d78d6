#include "board_letters.h"

namespace zelvan {

const BoardLetter& icpModeLetter() {
    static const BoardLetter command{'P', QStringLiteral("Peripheral ICP Mode")};
    return command;
}

const BoardLetter& powerOffLetter() {
    static const BoardLetter command{'S', QStringLiteral("Peripheral Power OFF")};
    return command;
}

Result sendBoardLetter(LinkContext& ctx, const BoardLetter& command) {
    ctx.progress.step(command.phrase + QStringLiteral("..."));
    // The indicator goes straight from yellow to the outcome.
    ctx.progress.indicate(Led::Yellow);
    const IspAnswer answer = ctx.link.exchangeLetter(command.letter);
    ctx.progress.indicate(answer.acknowledged() ? Led::Green : Led::Red);
    return Result{endingOf(answer.outcome),
                  answer.acknowledged()
                      ? QString()
                      : QStringLiteral("%1 failed (%2)").arg(command.phrase, failureText(answer.outcome))};
}

} // namespace zelvan
