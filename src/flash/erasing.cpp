#include "erasing.h"

#include "common/busy_pointer.h"
#include "common/hex_text.h"
#include "programmer/outcome_report.h"

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

} // namespace

int RangeErase::unitSize(const DeviceGeometry& geometry) const {
    return unit == EraseUnit::Page ? geometry.intPageSize : geometry.intSectorSize;
}

bool RangeErase::isProtected(int address, const DeviceGeometry& geometry) const {
    const int reach = refuseUnitEndingAtBootloader ? address + unitSize(geometry) : address;
    return reach >= geometry.intBootloaderAddr;
}

const RangeErase& pageErase() {
    static const RangeErase kind{EraseUnit::Page,
                                 QStringLiteral("Erasing Device Pages"),
                                 QStringLiteral("Page Erasing"),
                                 QStringLiteral("page"),
                                 false,
                                 &pageProtectionText};
    return kind;
}

const RangeErase& sectorErase() {
    static const RangeErase kind{EraseUnit::Sector,
                                 QStringLiteral("Erasing Device Sectors"),
                                 QStringLiteral("Sector Erasing"),
                                 QStringLiteral("sector"),
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
    // Without protection the chip erase takes the bootloader with it: ask first (a front end that
    // runs unattended answers for itself).
    if (!ctx.dialogs.confirm(QStringLiteral("\"Protect ISP Code\" is not ticked: erasing the chip erases the ISP "
                                            "bootloader too. Erase the whole chip?"),
                             QStringLiteral("Chip Erase")))
        return false;
    const QString phrase = QStringLiteral("Erasing Device");
    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setStatus(phrase + QStringLiteral("..."));
    ctx.feedback.setIndicator(Led::Yellow);
    const Outcome outcome = showOutcome(ctx.feedback, ctx.link.exchangeRecord(chipEraseBody()));
    const bool done = outcome == Outcome::Acknowledged;
    busy.release();
    ctx.dialogs.showResult(done ? QStringLiteral("Chip Erasing: Done") : failureText(outcome),
                           QStringLiteral("Chip Erasing"));
    ctx.feedback.setStatus(closingStatus(phrase, endingOf(done)));
    return done;
}

RangeEraseResult eraseRange(CommandContext& ctx, const RangeErase& kind, const DeviceGeometry& geometry, int firstIndex,
                            int lastIndex, bool protect) {
    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setStatus(kind.phrase + QStringLiteral("..."));
    const int unit = kind.unitSize(geometry);

    // The units to erase, up to the first one protection keeps.
    QList<int> addresses;
    std::optional<int> protectedAt;
    if (firstIndex >= 0 && lastIndex >= 0 && unit > 0) {
        for (int address = firstIndex * unit; address <= lastIndex * unit; address += unit) {
            if (protect && kind.isProtected(address, geometry)) {
                protectedAt = address;
                break;
            }
            addresses.append(address);
        }
    }

    QString result = closingStatus(kind.boxTitle, Ending::Done);
    RangeEraseResult outcome{Ending::Done, 0, protectedAt};
    Ending& ending = outcome.ending;
    if (addresses.isEmpty()) {
        // Nothing to erase: no range chosen, or protection keeps even the first unit. Nothing
        // was done, and that is not reported as done work.
        ending = Ending::Error;
        result = protectedAt ? kind.protectionText(*protectedAt)
                             : QStringLiteral("ERROR: no %1 range is chosen").arg(kind.unitName);
    }
    ctx.feedback.setProgress(0, static_cast<int>(addresses.size()));
    for (const int address : addresses) {
        if (ctx.stop.requested()) {
            ending = Ending::Interrupted;
            result = closingStatus(kind.boxTitle, Ending::Interrupted);
            break;
        }
        ctx.feedback.setIndicator(Led::Yellow);
        const Outcome answered = showOutcome(ctx.feedback, ctx.link.exchangeRecord(eraseBody(kind.unit, address)));
        if (answered != Outcome::Acknowledged) {
            ending = Ending::Error;
            result = failureText(answered);
            break;
        }
        ctx.feedback.setIndicator(Led::DarkYellow);
        ctx.feedback.setProgress(++outcome.erased, static_cast<int>(addresses.size()));
        ctx.link.processEventsOnce();
    }
    // Protection stopped a range that erased what lay below the bootloader: that was asked for.
    if (ending == Ending::Done && protectedAt)
        result = kind.protectionText(*protectedAt);
    ctx.feedback.setProgress(0, 0);

    ctx.dialogs.showResult(result, kind.boxTitle);
    busy.release();
    ctx.feedback.setStatus(closingStatus(kind.phrase, ending));
    return outcome;
}

} // namespace zelvan
