#include "identification.h"

#include "link/isp_commands.h"

namespace zelvan {

bool IdBytes::allFF() const {
    const QLatin1String ff("FF");
    return manufacturer == ff && deviceId1 == ff && deviceId2 == ff;
}

Part partForIds(const IdBytes& ids, const std::optional<Part>& previous) {
    return Part{ids, findPartById(ids.deviceId2),
                geometryForId(ids.deviceId2, previous ? std::optional(previous->geometry) : std::nullopt)};
}

IdReading readIdBytes(LinkContext& ctx) {
    ctx.progress.step(QStringLiteral("Reading CPU ID..."));
    ctx.progress.indicate(Led::DarkYellow);
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
    IdReading reading;
    IdBytes ids;
    for (const Step& step : kSteps) {
        // A closing "." is what counts (a refusal beside it is not looked at); the byte is the two
        // characters after the echo.
        const IspAnswer answer = ctx.link.exchangeRecord(configReadBody(step.address));
        if (!answer.fullStop) {
            const Ending ending = endingOf(answer.outcome);
            reading.end(ending,
                        QStringLiteral("the target's identification could not be read (%1)").arg(failureText(ending)));
            return reading;
        }
        ids.*step.field = answer.data(2);
        QString status = QStringLiteral("CPU MFG=") + ids.manufacturer;
        if (step.field != &IdBytes::manufacturer)
            status += QStringLiteral(" ID1=") + ids.deviceId1;
        if (step.field == &IdBytes::deviceId2)
            status += QStringLiteral(" ID2=") + ids.deviceId2;
        else
            status += QStringLiteral(" ...");
        ctx.progress.step(status);
        ctx.progress.indicate(step.indicator);
        ctx.link.processEventsOnce();
    }
    reading.ids = ids;
    reading.end(Ending::Done);
    return reading;
}

} // namespace zelvan
