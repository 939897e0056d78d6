#include "program_plan.h"

#include "common/hex_text.h"
#include "firmware/programming.h"
#include "flash/erasing.h"

namespace zelvan::cli {

std::optional<UnitRange> resolveRange(const RangeSpec& range, int unitSize, int unitCount, QString* error) {
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

QList<UnitRange> sectorsToErase(const FirmwareCache& cache, const DeviceGeometry& part, bool protect) {
    QList<UnitRange> runs;
    int previous = -2;
    for (const int page : pagesWithData(cache, part.intPageSize)) {
        const int sector = page / part.intSectorSize;
        if (sector == previous || (protect && sectorErase().isProtected(sector * part.intSectorSize, part)))
            continue;
        if (!runs.isEmpty() && sector == previous + 1)
            runs.last().last = sector;
        else
            runs.append({sector, sector});
        previous = sector;
    }
    return runs;
}

} // namespace zelvan::cli
