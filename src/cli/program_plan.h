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
std::optional<UnitRange> resolveRange(const RangeSpec& range, int unitSize, int unitCount, QString* error);

// The sectors program erases before it writes: every sector the image touches, in runs of
// neighbours, leaving out those protection keeps.
QList<UnitRange> sectorsToErase(const FirmwareCache& cache, const DeviceGeometry& part, bool protect);

} // namespace zelvan::cli
