#include "program_plan.h"

#include "common/hex_text.h"
#include "firmware/programming.h"
#include "flash/erasing.h"

namespace zelvan::cli {

std::optional<UnitRange> resolveRange(const RangeArgument& range, int unitSize, int unitCount, QString* error) {
    if (!range.first)
        return UnitRange{0, unitCount - 1};
    const auto index = [&](const RangeBound& bound) -> std::optional<int> {
        if (!bound.isAddress)
            return bound.value;
        if (bound.value % unitSize != 0) {
            *error = QStringLiteral("%1H is not the first address of a %2-byte unit")
                         .arg(strDecToHex16(bound.value))
                         .arg(unitSize);
            return std::nullopt;
        }
        return bound.value / unitSize;
    };
    const std::optional<int> first = index(*range.first);
    const std::optional<int> last = first ? index(*range.last) : std::nullopt;
    if (!first || !last)
        return std::nullopt;
    if (*first > *last || *last >= unitCount) {
        *error = QStringLiteral("the range %1..%2 is not within the part's units 0..%3")
                     .arg(*first)
                     .arg(*last)
                     .arg(unitCount - 1);
        return std::nullopt;
    }
    return UnitRange{*first, *last};
}

namespace {

// Adds a unit to the runs, joining it to the last run when it follows it.
void addUnit(QList<UnitRange>& runs, int unit) {
    if (!runs.isEmpty() && runs.last().last == unit)
        return;
    if (!runs.isEmpty() && runs.last().last + 1 == unit)
        runs.last().last = unit;
    else
        runs.append({unit, unit});
}

} // namespace

ErasePlan unitsToErase(const FirmwareCache& cache, const DeviceGeometry& part, bool protect) {
    ErasePlan plan;
    for (const int page : pagesWithData(cache, part.intPageSize)) {
        const int sector = page / part.intSectorSize;
        if (!protect || !sectorErase().isProtected(sector * part.intSectorSize, part))
            addUnit(plan.sectors, sector);
        else if (!pageErase().isProtected(page, part))
            addUnit(plan.pages, page / part.intPageSize);
    }
    return plan;
}

} // namespace zelvan::cli
