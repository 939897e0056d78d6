#pragma once

#include "cli_request.h"

#include "device/device_catalogue.h"
#include "firmware/firmware_cache.h"

#include <QList>
#include <QString>

#include <optional>

namespace zelvan::cli {

// A run of units (pages or sectors) by index, first..last.
struct UnitRange {
    int first = 0;
    int last = 0;
    bool operator==(const UnitRange&) const = default;
};

// The units a range names on a part with units of unitSize bytes, unitCount of them: indexes as
// they stand, addresses divided by the unit size (they must be a unit's first address). No
// range: every unit. Nothing, with a reason, for a range the part does not have.
std::optional<UnitRange> resolveRange(const RangeArgument& range, int unitSize, int unitCount, QString* error);

// What program erases before it writes: every sector the image touches, in runs of neighbours.
// A sector protection keeps (it also holds the bootloader) is not erased whole: the pages the
// image touches in it below the bootloader are erased one by one instead.
struct ErasePlan {
    QList<UnitRange> sectors;
    QList<UnitRange> pages;
};
ErasePlan unitsToErase(const FirmwareCache& cache, const DeviceGeometry& part, bool protect);

} // namespace zelvan::cli
