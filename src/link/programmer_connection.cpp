#include "programmer_connection.h"

namespace zelvan {

bool NegotiateBaudrate(CommandContext& ctx) {
    IspLink& link = ctx.link;
    ResponseState& state = link.response();
    ctx.dialogs.setBusyPointer(true);
    state.fgBaudSync = false;

    // The port already runs at the chosen speed; the board measures its speed on these letters.
    ctx.feedback.setIndicator(Led::Yellow);
    link.send("U");
    link.processEventsOnce();
    ctx.feedback.setIndicator(Led::DarkYellow);
    link.sendMore("U");
    link.processEventsOnce();
    ctx.feedback.setIndicator(Led::Yellow);
    link.sendMore("U");
    link.processEventsOnce();
    ctx.feedback.setIndicator(Led::DarkYellow);

    // Once a "U" is back nothing can undo it, so the window closes early on success; a silent
    // port gets the whole window.
    link.processEventsFor(link.timing().syncWindow, [&state] { return state.fgBaudSync; });

    if (state.fgBaudSync) {
        ctx.feedback.showConnection(true);
    } else {
        ctx.feedback.showConnection(false);
        ctx.feedback.setIndicator(Led::Red);
    }
    ctx.dialogs.setBusyPointer(false);
    return state.fgBaudSync;
}

bool GetLoaderVersion(CommandContext& ctx) {
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setIndicator(Led::Yellow);
    ctx.link.sendRecord(QStringLiteral("00000001"));
    ctx.feedback.setIndicator(Led::DarkYellow);
    ctx.link.WaitResponse();
    ctx.dialogs.setBusyPointer(false);
    const bool answered = ctx.link.response().fgResponseOK;
    ctx.feedback.setIndicator(answered ? Led::Green : Led::Red);
    return answered;
}

bool fgMicroConnected(IspLink& link) {
    link.sendRecord(QStringLiteral("0100000310"));
    link.WaitResponse();
    return link.response().fgResponseOK;
}

} // namespace zelvan
