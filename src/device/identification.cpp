#include "identification.h"

#include "common/busy_pointer.h"
#include "link/isp_commands.h"

namespace zelvan {

bool IdBytes::allFF() const {
    const QLatin1String ff("FF");
    return manufacturer == ff && deviceId1 == ff && deviceId2 == ff;
}

namespace {

// Sends one id read. A closing "." is what counts (a refusal beside it is not looked at); the
// byte is the two characters after the echo.
std::optional<QString> readIdByte(IspLink& link, int address) {
    const IspAnswer answer = link.exchangeRecord(configReadBody(address));
    if (!answer.fullStop)
        return std::nullopt;
    return answer.data(2);
}

} // namespace

std::optional<IdBytes> readIdBytes(CommandContext& ctx) {
    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setStatus(QStringLiteral("Reading CPU ID..."));
    ctx.feedback.setIndicator(Led::DarkYellow);
    ctx.link.processEventsOnce();

    // Each byte read so far is shown; the indicator alternates after each answer.
    struct Step {
        int address;
        QString IdBytes::*field;
        Led indicator;
    };
    static constexpr Step kSteps[] = {
        {configAddress::kManufacturerId, &IdBytes::manufacturer, Led::Yellow},
        {configAddress::kDeviceId1, &IdBytes::deviceId1, Led::DarkYellow},
        {configAddress::kDeviceId2, &IdBytes::deviceId2, Led::Yellow},
    };
    IdBytes ids;
    for (const Step& step : kSteps) {
        const std::optional<QString> byte = readIdByte(ctx.link, step.address);
        if (!byte) {
            ctx.feedback.setStatus(QStringLiteral("CPU ID Read Failed"));
            return std::nullopt;
        }
        ids.*step.field = *byte;
        QString status = QStringLiteral("CPU MFG=") + ids.manufacturer;
        if (step.field != &IdBytes::manufacturer)
            status += QStringLiteral(" ID1=") + ids.deviceId1;
        if (step.field == &IdBytes::deviceId2)
            status += QStringLiteral(" ID2=") + ids.deviceId2;
        else
            status += QStringLiteral(" ...");
        ctx.feedback.setStatus(status);
        ctx.feedback.setIndicator(step.indicator);
        ctx.link.processEventsOnce();
    }
    return ids;
}

} // namespace zelvan
