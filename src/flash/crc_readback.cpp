#include "crc_readback.h"

#include "common/hex_text.h"
#include "link/isp_commands.h"

namespace zelvan {

QString crcValue(const IspAnswer& answer) {
    return answer.data(8);
}

std::optional<quint32> crcNumber(const QString& text) {
    if (!isHexText(text, 8))
        return std::nullopt;
    return text.toUInt(nullptr, 16);
}

QString crcText(quint32 value) {
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

ValueReading readGlobalCrc(LinkContext& ctx) {
    ctx.progress.indicate(Led::Yellow);
    ctx.progress.step(QStringLiteral("Reading Global CRC..."));
    const IspAnswer answer = ctx.link.exchangeRecord(globalCrcBody());
    ctx.progress.indicate(answer.acknowledged() ? Led::Green : Led::Red);
    ValueReading reading;
    reading.end(endingOf(answer.outcome),
                QStringLiteral("the global CRC could not be read (%1)").arg(failureText(answer.outcome)));
    if (answer.acknowledged())
        reading.value = crcValue(answer);
    return reading;
}

SectorCrcReading readSectorCrcs(LinkContext& ctx, int sectorSize, UnitRange range) {
    ctx.progress.step(QStringLiteral("Reading Sectors CRC..."));
    SectorCrcReading reading;
    reading.sectorSize = sectorSize;
    const bool haveRange = !range.isEmpty() && sectorSize > 0;
    const int total = haveRange ? range.last - range.first + 1 : 0;
    reading.end(haveRange ? Ending::Done : Ending::NotDone,
                haveRange ? QString() : QStringLiteral("no sector range is chosen"));
    ctx.progress.stage(QStringLiteral("reading CRCs"), QStringLiteral("sectors"));
    ctx.progress.units(0, total);
    for (int address = range.first * sectorSize; haveRange && address <= range.last * sectorSize;
         address += sectorSize) {
        if (ctx.stop.requested()) {
            reading.end(Ending::Interrupted);
            break;
        }
        ctx.progress.indicate(Led::Yellow);
        const IspAnswer answer = ctx.link.exchangeRecord(sectorCrcBody(address));
        ctx.progress.indicate(answer.acknowledged() ? Led::Green : Led::Red);
        if (!answer.acknowledged()) {
            reading.end(endingOf(answer.outcome), QStringLiteral("the CRC of sector %1 (%2H): %3")
                                                      .arg(address / sectorSize)
                                                      .arg(strDecToHex16(address), failureText(answer.outcome)));
            break;
        }
        reading.values.append({address, crcValue(answer)});
        ctx.progress.indicate(Led::DarkYellow);
        ctx.progress.units(static_cast<int>(reading.values.size()), total);
        ctx.link.processEventsOnce();
    }
    ctx.progress.units(0, 0);
    return reading;
}

SectorCrcValues readSectorCrcValues(LinkContext& ctx, const DeviceGeometry& part, const QList<int>& sectors) {
    SectorCrcValues values;
    values.end(Ending::Done);
    ctx.progress.units(0, static_cast<int>(sectors.size()));
    for (const int sector : sectors) {
        if (ctx.stop.requested()) {
            values.end(Ending::Interrupted);
            break;
        }
        const int address = sector * part.intSectorSize;
        ctx.progress.indicate(Led::Yellow);
        const IspAnswer answer = ctx.link.exchangeRecord(sectorCrcBody(address));
        const std::optional<quint32> crc = answer.acknowledged() ? crcNumber(crcValue(answer)) : std::nullopt;
        if (!crc) {
            values.end(answer.acknowledged() ? Ending::NotDone : endingOf(answer.outcome),
                       QStringLiteral("the CRC of sector %1 (%2H) could not be read (%3)")
                           .arg(sector)
                           .arg(strDecToHex16(address),
                                answer.acknowledged()
                                    ? QStringLiteral("the answer \"%1\" is no CRC").arg(crcValue(answer))
                                    : failureText(answer.outcome)));
            break;
        }
        values.crcs[sector] = *crc;
        ctx.progress.units(static_cast<int>(values.crcs.size()), static_cast<int>(sectors.size()));
    }
    ctx.progress.units(0, 0);
    return values;
}

GlobalCrcValue readGlobalCrcValue(LinkContext& ctx) {
    const IspAnswer answer = ctx.link.exchangeRecord(globalCrcBody());
    GlobalCrcValue value;
    const std::optional<quint32> crc = answer.acknowledged() ? crcNumber(crcValue(answer)) : std::nullopt;
    if (!crc) {
        value.end(answer.acknowledged() ? Ending::NotDone : endingOf(answer.outcome),
                  QStringLiteral("the global CRC could not be read (%1)")
                      .arg(answer.acknowledged() ? QStringLiteral("the answer \"%1\" is no CRC").arg(crcValue(answer))
                                                 : failureText(answer.outcome)));
        return value;
    }
    value.crc = *crc;
    value.end(Ending::Done);
    return value;
}

} // namespace zelvan
