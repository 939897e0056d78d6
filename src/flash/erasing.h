#pragma once

#include "device/device_catalogue.h"
#include "link/isp_commands.h"
#include "programmer/command_context.h"
#include "programmer/outcome_report.h"

#include <QString>

#include <optional>

namespace zelvan {

// What tells the page-range erase from the sector-range erase; one procedure serves both.
struct RangeErase {
    EraseUnit unit;
    QString phrase;   // status line: "Erasing Device Pages..." and "Erasing Device Pages: Done"
    QString boxTitle; // "Page Erasing": the result box's title, and "Page Erasing: Done" its text
    QString unitName; // "page", for the texts that say why nothing was erased
    // The sector rule is stricter than the page rule: a sector is refused as soon as its end
    // reaches the bootloader, a page only when it starts inside it.
    bool refuseUnitEndingAtBootloader;
    // The result text when protection stops the range at a unit ("AAAA" in four hex digits).
    QString (*protectionText)(int unitAddress);

    int unitSize(const DeviceGeometry& geometry) const;
    // Whether protection keeps the unit at address from being erased.
    bool isProtected(int address, const DeviceGeometry& geometry) const;
};

const RangeErase& pageErase();
const RangeErase& sectorErase();

// Erases the whole chip: refused with a box (and nothing sent) while the bootloader is protected;
// otherwise the user confirms first that the bootloader goes too (no answer: nothing is sent).
// Shows the result (a quiet front end leaves it out) and closes the status line with ": Done" or
// ": Error". True when the board erased the chip.
bool eraseChip(CommandContext& ctx, bool protect);

struct RangeEraseResult {
    Ending ending = Ending::Error;
    int erased = 0;                 // units the board acknowledged
    std::optional<int> protectedAt; // the first unit address protection kept, if it stopped the range
    bool done() const { return ending == Ending::Done; }
};

// Erases the units firstIndex..lastIndex, stopping before the first unit that protection (as the
// command found it when it started) keeps, at the first refused or unanswered exchange, or when
// the user asks to stop. A stop at the protected area after some units were erased is what was
// asked for; an erase that erased nothing (no range, or protection kept the very first unit) is
// not.
RangeEraseResult eraseRange(CommandContext& ctx, const RangeErase& kind, const DeviceGeometry& geometry, int firstIndex,
                            int lastIndex, bool protect);

} // namespace zelvan
