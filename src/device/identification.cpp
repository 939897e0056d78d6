#include "identification.h"

namespace zelvan {

bool IdBytes::allFF() const {
    const QLatin1String ff("FF");
    return manufacturer == ff && deviceId1 == ff && deviceId2 == ff;
}

namespace {

// Sends one id read; the byte is the last two characters of the answer (all of it if shorter).
std::optional<QString> readIdByte(IspLink& link, const QString& body) {
    link.sendRecord(body);
    link.WaitResponse();
    if (!link.response().fgResponseOK)
        return std::nullopt;
    return link.response().strLastResponse.right(2);
}

} // namespace

std::optional<IdBytes> readIdBytes(CommandContext& ctx) {
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setStatus(QStringLiteral("Reading CPU ID..."));
    ctx.feedback.setIndicator(Led::DarkYellow);
    ctx.link.processEventsOnce();

    const auto fail = [&ctx]() -> std::optional<IdBytes> {
        ctx.dialogs.setBusyPointer(false);
        ctx.feedback.setStatus(QStringLiteral("CPU ID Read Failed"));
        return std::nullopt;
    };

    IdBytes ids;
    const auto manufacturer = readIdByte(ctx.link, QStringLiteral("0100000310"));
    if (!manufacturer)
        return fail();
    ids.manufacturer = *manufacturer;
    ctx.feedback.setStatus(QStringLiteral("CPU MFG=") + ids.manufacturer + QStringLiteral(" ..."));
    ctx.feedback.setIndicator(Led::Yellow);
    ctx.link.processEventsOnce();

    const auto id1 = readIdByte(ctx.link, QStringLiteral("0100000311"));
    if (!id1)
        return fail();
    ids.deviceId1 = *id1;
    ctx.feedback.setStatus(QStringLiteral("CPU MFG=") + ids.manufacturer + QStringLiteral(" ID1=") + ids.deviceId1 +
                           QStringLiteral(" ..."));
    ctx.feedback.setIndicator(Led::DarkYellow);
    ctx.link.processEventsOnce();

    const auto id2 = readIdByte(ctx.link, QStringLiteral("0100000312"));
    if (!id2)
        return fail();
    ids.deviceId2 = *id2;
    ctx.feedback.setStatus(QStringLiteral("CPU MFG=") + ids.manufacturer + QStringLiteral(" ID1=") + ids.deviceId1 +
                           QStringLiteral(" ID2=") + ids.deviceId2);
    ctx.feedback.setIndicator(Led::Yellow);
    ctx.link.processEventsOnce();
    return ids;
}

} // namespace zelvan
