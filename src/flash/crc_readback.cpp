#include "crc_readback.h"

#include "common/busy_pointer.h"
#include "common/hex_text.h"
#include "common/system_texts.h"
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

std::optional<QString> readGlobalCrc(CommandContext& ctx) {
    const QString phrase = QStringLiteral("Reading Global CRC");
    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setIndicator(Led::Yellow);
    ctx.feedback.setStatus(phrase + QStringLiteral("..."));
    const IspAnswer answer = ctx.link.exchangeRecord(globalCrcBody());
    busy.release();
    const Outcome outcome = showOutcome(ctx.feedback, answer);
    const bool done = outcome == Outcome::Acknowledged;
    ctx.feedback.setStatus(closingStatus(phrase, endingOf(done)));
    ctx.dialogs.messageBox(done ? systemText::kGlobalCrcPrefix + crcValue(answer) + QStringLiteral("\r\n")
                                : failureText(outcome),
                           QStringLiteral("Global CRC"));
    if (!done)
        return std::nullopt;
    return crcValue(answer);
}

IspAnswer strGetSectorCRC(CommandContext& ctx, int address) {
    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setIndicator(Led::Yellow);
    return ctx.link.exchangeRecord(sectorCrcBody(address));
}

SectorCrcReading readSectorCrcs(CommandContext& ctx, int sectorSize, int firstIndex, int lastIndex) {
    const QString phrase = QStringLiteral("Reading Sectors CRC");
    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setStatus(phrase + QStringLiteral("..."));
    SectorCrcReading reading;
    QString result;
    const bool haveRange = firstIndex >= 0 && lastIndex >= firstIndex && sectorSize > 0;
    const int total = haveRange ? lastIndex - firstIndex + 1 : 0;
    if (haveRange)
        reading.ending = Ending::Done;
    ctx.feedback.setProgress(0, total);
    for (int address = firstIndex * sectorSize; haveRange && address <= lastIndex * sectorSize; address += sectorSize) {
        if (ctx.stop.requested()) {
            reading.ending = Ending::Interrupted;
            result += closingStatus(phrase, Ending::Interrupted) + QStringLiteral("\r\n");
            break;
        }
        const IspAnswer answer = strGetSectorCRC(ctx, address);
        const Outcome outcome = showOutcome(ctx.feedback, answer);
        if (outcome != Outcome::Acknowledged) {
            // The box shows the error alone: a partial list would pass for a complete one.
            result = failureText(outcome);
            reading.ending = Ending::Error;
            break;
        }
        reading.values.append({address, crcValue(answer)});
        result += QStringLiteral("CRC ") + strDecToHex16(address) + QLatin1Char('-') +
                  strDecToHex16(address + sectorSize - 1) + QStringLiteral(" = ") + crcValue(answer) +
                  QStringLiteral("\r\n");
        ctx.feedback.setIndicator(Led::DarkYellow);
        ctx.feedback.setProgress(static_cast<int>(reading.values.size()), total);
        ctx.link.processEventsOnce();
    }
    ctx.feedback.setProgress(0, 0);

    ctx.dialogs.messageBox(result, QStringLiteral("Sectors CRC"));
    busy.release();
    ctx.feedback.setStatus(closingStatus(phrase, reading.ending));
    return reading;
}

} // namespace zelvan
