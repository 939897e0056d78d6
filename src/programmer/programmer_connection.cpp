#include "programmer_connection.h"

#include "common/busy_pointer.h"
#include "link/isp_commands.h"
#include "link/records.h"

namespace zelvan {

bool NegotiateBaudrate(CommandContext& ctx) {
    IspLink& link = ctx.link;
    BusyPointer busy(ctx.dialogs);

    // The port already runs at the chosen speed; the board measures its speed on these letters.
    // The first one starts the exchange (fgBaudSync cleared, stale input dropped), the next two
    // follow it.
    ctx.feedback.setIndicator(Led::Yellow);
    link.startSynchronisation();
    link.processEventsOnce();
    ctx.feedback.setIndicator(Led::DarkYellow);
    link.sendMore("U");
    link.processEventsOnce();
    ctx.feedback.setIndicator(Led::Yellow);
    link.sendMore("U");
    link.processEventsOnce();
    ctx.feedback.setIndicator(Led::DarkYellow);

    // The whole window, even once a "U" is back: a board may need all three letters to lock, and
    // the next record must not follow them before it has had its time.
    link.processEventsFor(link.timing().syncWindow);
    const bool synced = link.response().fgBaudSync;

    ctx.feedback.showConnection(synced);
    if (!synced)
        ctx.feedback.setIndicator(Led::Red);
    return synced;
}

std::optional<QString> GetLoaderVersion(CommandContext& ctx) {
    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setIndicator(Led::Yellow);
    ctx.feedback.setIndicator(Led::DarkYellow);
    const IspAnswer answer = ctx.link.exchangeRecord(loaderVersionBody());
    busy.release();
    ctx.feedback.setIndicator(answer.fullStop ? Led::Green : Led::Red);
    if (!answer.fullStop)
        return std::nullopt;
    return answer.text;
}

QString versionWithoutEcho(const QString& answerText) {
    const QString echo = strAddChecksum(loaderVersionBody());
    return (answerText.startsWith(echo) ? answerText.mid(echo.size()) : answerText).trimmed();
}

} // namespace zelvan
