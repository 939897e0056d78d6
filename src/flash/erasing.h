#pragma once

#include "device/device_catalogue.h"
#include "link/isp_commands.h"
#include "link/link_context.h"

#include "common/ending.h"
#include "common/questions.h"

#include <QString>

#include <optional>

namespace zelvan {

// A run of units (pages or sectors) by index, first..last. An empty range (first or last -1)
// chooses nothing.
struct UnitRange {
    int first = -1;
    int last = -1;
    bool isEmpty() const { return first < 0 || last < first; }
    bool operator==(const UnitRange&) const = default;
};

// What tells the page-range erase from the sector-range erase; one procedure serves both.
struct RangeErase {
    EraseUnit unit;
    QString phrase;   // "Erasing Device Pages": "...", ": Done" and ": Error" on the status line
    QString unitName; // "page": for the reasons in words
    // The sector rule is stricter than the page rule: a sector is refused as soon as its end
    // reaches the bootloader, a page only when it starts inside it.
    bool refuseUnitEndingAtBootloader;

    int unitSize(const DeviceGeometry& geometry) const;
    int unitCount(const DeviceGeometry& geometry) const;
    // Whether protection keeps the unit at address from being erased.
    bool isProtected(int address, const DeviceGeometry& geometry) const;
};

const RangeErase& pageErase();
const RangeErase& sectorErase();

struct ChipEraseResult : Result {
    // Nothing was sent because protection keeps the bootloader (otherwise nothing was sent
    // because the user did not confirm).
    bool keptForBootloader = false;
};

// Erases the whole chip: refused (nothing sent) while the bootloader is protected; otherwise the
// user confirms first that the bootloader goes too (no answer: nothing is sent).
ChipEraseResult eraseChip(LinkContext& ctx, Questions& questions, bool protect);

struct RangeEraseResult : Result {
    int from = 0;                   // the address of the range's first unit
    int erased = 0;                 // units the board acknowledged
    int toErase = 0;                // units of the range below what protection keeps
    std::optional<int> protectedAt; // the first unit address protection kept, if it stopped the range
};

// Erases the units of the range, stopping before the first unit that protection keeps, at the first
// refused or unanswered exchange, or when the user asks to stop. A stop at the protected area after
// some units were erased is what was asked for; an erase that erased nothing (no range, or
// protection kept the very first unit) is not.
RangeEraseResult eraseRange(LinkContext& ctx, const RangeErase& kind, const DeviceGeometry& geometry, UnitRange range,
                            bool protect);

} // namespace zelvan
