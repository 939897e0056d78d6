#pragma once

#include "link/command_context.h"

#include <QString>

#include <functional>

namespace zelvan {

// What tells the page-range erase from the sector-range erase; one procedure serves both.
struct RangeErase {
    QString bodyPrefix;  // "0300000400" (page) or "0300000401" (sector), then the unit address
    QString startText;   // status line when the range starts
    QString doneResult;  // result text when every unit was erased
    QString boxTitle;    // title of the closing box
    QString closingText; // status line at the end, whatever the outcome
    // The sector rule is stricter than the page rule: a sector is refused as soon as its end
    // reaches the bootloader, a page only when it starts inside it.
    bool refuseUnitEndingAtBootloader;
    // The result text when protection stops the range at a unit ("AAAA" in four hex digits).
    QString (*protectionText)(int unitAddress);
};

const RangeErase& pageErase();
const RangeErase& sectorErase();

// Erases the whole chip: refused with a box (and nothing sent) while the bootloader is protected.
// Unless the automation runs, beeps and shows the result. True when the board erased the chip.
bool eraseChip(CommandContext& ctx, bool protect);

// Erases the units firstIndex..lastIndex (each unitSize bytes), stopping at the first unit that
// protection refuses, or at the first refused or unanswered exchange. protect() is read before
// every unit. Unless the automation runs, beeps and shows the result. False when an exchange
// failed or there was no range at all; a stop at the protected area is what was asked for and
// counts as done.
bool eraseRange(CommandContext& ctx, const RangeErase& kind, int unitSize, int bootloaderAddr, int firstIndex,
                int lastIndex, const std::function<bool()>& protect);

// One unit: sends the erase record for the unit at address and waits; the indicator shows the
// outcome, the flags are left as the answer set them.
void eraseUnit(CommandContext& ctx, const RangeErase& kind, int address);

} // namespace zelvan
