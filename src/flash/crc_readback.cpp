#include "crc_readback.h"

#include "link/exchange.h"
#include "link/records.h"

namespace zelvan {

QString crcValue(const ResponseState& state) {
    return state.strLastResponse.right(8);
}

bool readGlobalCrc(CommandContext& ctx) {
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setIndicator(Led::Yellow);
    ctx.feedback.setStatus(QStringLiteral("Reading Global CRC..."));
    ctx.link.sendRecord(QStringLiteral("00000006"));
    ctx.link.WaitResponse();
    QString result = QStringLiteral("Global CRC  = ") + crcValue(ctx.link.response()) + QStringLiteral("\r\n");
    ctx.dialogs.setBusyPointer(false);
    ctx.feedback.setStatus(QStringLiteral("Reading Global CRC: Done"));
    const Outcome outcome = judgeAnswer(ctx);
    if (outcome != Outcome::Acknowledged)
        result = failureText(outcome);
    ctx.dialogs.messageBox(result, QStringLiteral("Global CRC"));
    return outcome == Outcome::Acknowledged;
}

QString strGetSectorCRC(CommandContext& ctx, int address) {
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setIndicator(Led::Yellow);
    ResponseState& state = ctx.link.response();
    state.fgResponseOK = false;
    state.fgResponseErr = false;
    ctx.link.sendRecord(QStringLiteral("01000005") + strDecToHex16(address).left(2));
    ctx.link.WaitResponse();
    ctx.dialogs.setBusyPointer(false);
    return crcValue(state);
}

bool readSectorCrcs(CommandContext& ctx, int sectorSize, int firstIndex, int lastIndex) {
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setStatus(QStringLiteral("Reading Sectors CRC..."));
    QString result;
    const bool haveRange = firstIndex >= 0 && lastIndex >= 0 && sectorSize > 0;
    bool answered = haveRange;
    for (int address = firstIndex * sectorSize; haveRange && address <= lastIndex * sectorSize; address += sectorSize) {
        const QString value = strGetSectorCRC(ctx, address);
        result += QStringLiteral("CRC ") + strDecToHex16(address) + QLatin1Char('-') +
                  strDecToHex16(address + sectorSize - 1) + QStringLiteral(" = ") + value + QStringLiteral("\r\n");
        const Outcome outcome = judgeAnswer(ctx);
        if (outcome != Outcome::Acknowledged) {
            // The values read so far are dropped: a partial list would pass for a complete one.
            result = failureText(outcome);
            answered = false;
            break;
        }
        ctx.feedback.setIndicator(Led::DarkYellow);
        ctx.link.processEventsOnce();
    }

    ctx.dialogs.messageBox(result, QStringLiteral("Sectors CRC"));
    ctx.dialogs.setBusyPointer(false);
    ctx.feedback.setStatus(QStringLiteral("Reading Sectors CRC: Done"));
    return answered;
}

} // namespace zelvan
