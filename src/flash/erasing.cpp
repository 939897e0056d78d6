#include "erasing.h"

#include "common/hex_text.h"

namespace zelvan {

int RangeErase::unitSize(const DeviceGeometry& geometry) const {
    return unit == EraseUnit::Page ? geometry.intPageSize : geometry.intSectorSize;
}

int RangeErase::unitCount(const DeviceGeometry& geometry) const {
    return unit == EraseUnit::Page ? geometry.pageCount() : geometry.sectorCount();
}

bool RangeErase::isProtected(int address, const DeviceGeometry& geometry) const {
    const int reach = refuseUnitEndingAtBootloader ? address + unitSize(geometry) : address;
    return reach >= geometry.intBootloaderAddr;
}

const RangeErase& pageErase() {
    static const RangeErase kind{EraseUnit::Page, QStringLiteral("Erasing Device Pages"), QStringLiteral("page"),
                                 false};
    return kind;
}

const RangeErase& sectorErase() {
    static const RangeErase kind{EraseUnit::Sector, QStringLiteral("Erasing Device Sectors"), QStringLiteral("sector"),
                                 true};
    return kind;
}

ChipEraseResult eraseChip(LinkContext& ctx, Questions& questions, bool protect) {
    ChipEraseResult result;
    if (protect) {
        result.keptForBootloader = true;
        result.end(Ending::NotDone, QStringLiteral("a chip erase takes the bootloader with it, and the bootloader is "
                                                   "protected"));
        return result;
    }
    // Without protection the chip erase takes the bootloader with it: ask first (a run with nobody
    // to ask answers as the option that allows it says).
    if (!questions.confirm(QStringLiteral("\"Protect ISP Code\" is not ticked: erasing the chip erases the ISP "
                                          "bootloader too. Erase the whole chip?"),
                           QStringLiteral("Chip Erase"))) {
        result.end(Ending::NotDone, QStringLiteral("the chip erase was not confirmed"));
        return result;
    }
    ctx.progress.step(QStringLiteral("Erasing Device..."));
    ctx.progress.indicate(Led::Yellow);
    const IspAnswer answer = ctx.link.exchangeRecord(chipEraseBody());
    ctx.progress.indicate(answer.acknowledged() ? Led::Green : Led::Red);
    result.end(endingOf(answer.outcome),
               QStringLiteral("the chip was not erased (%1)").arg(failureText(answer.outcome)));
    return result;
}

RangeEraseResult eraseRange(LinkContext& ctx, const RangeErase& kind, const DeviceGeometry& geometry, UnitRange range,
                            bool protect) {
    ctx.progress.step(kind.phrase + QStringLiteral("..."));
    const int unit = kind.unitSize(geometry);

    // The units to erase, up to the first one protection keeps.
    QList<int> addresses;
    RangeEraseResult result;
    result.from = range.first * unit;
    if (!range.isEmpty() && unit > 0) {
        for (int address = range.first * unit; address <= range.last * unit; address += unit) {
            if (protect && kind.isProtected(address, geometry)) {
                result.protectedAt = address;
                break;
            }
            addresses.append(address);
        }
    }
    result.toErase = static_cast<int>(addresses.size());
    if (addresses.isEmpty()) {
        // Nothing to erase: no range chosen, or protection keeps even the first unit. Nothing was
        // done, and that is not reported as done work.
        result.end(Ending::NotDone, result.protectedAt
                                        ? QStringLiteral("0 of %1 %2s erased (%2 %3H is in the bootloader area, "
                                                         "which is protected)")
                                              .arg(range.last - range.first + 1)
                                              .arg(kind.unitName, strDecToHex16(*result.protectedAt))
                                        : QStringLiteral("no %1 range is chosen").arg(kind.unitName));
        return result;
    }
    result.end(Ending::Done);
    ctx.progress.stage(QStringLiteral("erasing"), kind.unitName + QLatin1Char('s'));
    ctx.progress.units(0, result.toErase);
    for (const int address : addresses) {
        if (ctx.stop.requested()) {
            result.end(Ending::Interrupted);
            break;
        }
        ctx.progress.indicate(Led::Yellow);
        const IspAnswer answer = ctx.link.exchangeRecord(eraseBody(kind.unit, address));
        ctx.progress.indicate(answer.acknowledged() ? Led::Green : Led::Red);
        if (!answer.acknowledged()) {
            result.end(endingOf(answer.outcome),
                       QStringLiteral("%1 of %2 %3s erased (%3 %4H: %5)")
                           .arg(result.erased)
                           .arg(result.toErase)
                           .arg(kind.unitName, strDecToHex16(address), failureText(answer.outcome)));
            break;
        }
        ctx.progress.indicate(Led::DarkYellow);
        ctx.progress.units(++result.erased, result.toErase);
        ctx.link.processEventsOnce();
    }
    ctx.progress.units(0, 0);
    return result;
}

} // namespace zelvan
