#include "erasing.h"

#include "link/exchange.h"
#include "link/records.h"

namespace zelvan {

namespace {

QString pageProtectionText(int address) {
    return QStringLiteral("Erasing ") + strDecToHex16(address) +
           QStringLiteral("H and higher disabled to protect bootloader");
}

QString sectorProtectionText(int address) {
    return QStringLiteral("Erasing Sector ") + strDecToHex16(address) +
           QStringLiteral("H disabled to protect original bootloader");
}

void showResult(CommandContext& ctx, const QString& result, const QString& title) {
    if (ctx.fgAutoRunning)
        return;
    ctx.dialogs.beep();
    ctx.dialogs.messageBox(result, title);
}

} // namespace

const RangeErase& pageErase() {
    static const RangeErase kind{QStringLiteral("0300000400"),
                                 QStringLiteral("Erasing Device Pages..."),
                                 QStringLiteral("Page Erasing: Done"),
                                 QStringLiteral("Page Erasing"),
                                 QStringLiteral("Erasing Device Pages: Done"),
                                 false,
                                 &pageProtectionText};
    return kind;
}

const RangeErase& sectorErase() {
    static const RangeErase kind{QStringLiteral("0300000401"),
                                 QStringLiteral("Erasing Device Sectors..."),
                                 QStringLiteral("Sector Erasing: Done"),
                                 QStringLiteral("Sector Erasing"),
                                 QStringLiteral("Erasing Device Sectors: Done"),
                                 true,
                                 &sectorProtectionText};
    return kind;
}

bool eraseChip(CommandContext& ctx, bool protect) {
    if (protect) {
        // Shown during the automation too: the file asked for something that was not done.
        ctx.dialogs.messageBox(QStringLiteral("Erasing chip disabled to protect original bootloader"),
                               QStringLiteral("Chip Erase"));
        return false;
    }
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setStatus(QStringLiteral("Erasing Device..."));
    ctx.feedback.setIndicator(Led::Yellow);
    ctx.link.sendRecord(QStringLiteral("00000008"));
    ctx.link.WaitResponse();
    const Outcome outcome = judgeAnswer(ctx);
    ctx.dialogs.setBusyPointer(false);
    showResult(ctx, outcome == Outcome::Acknowledged ? QStringLiteral("Chip Erasing: Done") : failureText(outcome),
               QStringLiteral("Chip Erasing"));
    ctx.feedback.setStatus(QStringLiteral("Erasing Device: Done"));
    return outcome == Outcome::Acknowledged;
}

void eraseUnit(CommandContext& ctx, const RangeErase& kind, int address) {
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setIndicator(Led::Yellow);
    ctx.link.sendRecord(kind.bodyPrefix + strDecToHex16(address));
    ctx.link.WaitResponse();
    ctx.dialogs.setBusyPointer(false);
    ctx.feedback.setIndicator(ctx.link.response().fgResponseOK ? Led::Green : Led::Red);
}

bool eraseRange(CommandContext& ctx, const RangeErase& kind, int unitSize, int bootloaderAddr, int firstIndex,
                int lastIndex, const std::function<bool()>& protect) {
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setStatus(kind.startText);
    QString result = kind.doneResult;
    // A list without a selection, or a part not identified yet, gives no range at all: nothing
    // is erased, and that is not reported as done work.
    const bool haveRange = firstIndex >= 0 && lastIndex >= 0 && unitSize > 0;
    bool exchangesSucceeded = haveRange;
    for (int address = firstIndex * unitSize; haveRange && address <= lastIndex * unitSize; address += unitSize) {
        const int reach = kind.refuseUnitEndingAtBootloader ? address + unitSize : address;
        if (protect() && reach >= bootloaderAddr) {
            result = kind.protectionText(address);
            break;
        }
        eraseUnit(ctx, kind, address);
        const Outcome outcome = judgeAnswer(ctx);
        if (outcome != Outcome::Acknowledged) {
            result = failureText(outcome);
            exchangesSucceeded = false;
            break;
        }
        ctx.feedback.setIndicator(Led::DarkYellow);
        ctx.link.processEventsOnce();
    }

    showResult(ctx, result, kind.boxTitle);
    ctx.dialogs.setBusyPointer(false);
    ctx.feedback.setStatus(kind.closingText);
    return exchangesSucceeded;
}

} // namespace zelvan
