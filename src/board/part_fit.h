#pragma once

#include "command_table.h"

#include "common/ending.h"
#include "common/progress.h"
#include "device/identification.h"
#include "firmware/firmware_cache.h"
#include "firmware/firmware_loading.h"

#include <optional>

namespace zelvan {

// A part found fit for a command, with the files laid out for it.
struct PartFit : Result {
    std::optional<FirmwareCache> image; // nothing when the command takes no files
};

// What a command needs of the part just identified, checked before anything is sent to it, so that
// nothing is written blind or by halves:
// - a target behind the board (ids other than FF FF FF), else NotDone;
// - for a command that erases, programs or verifies, a part of the catalogue (its flash layout is
//   known), else NotDone naming the ids; another command takes the fall-back layout, with a notice;
// - files that give the part something and that fit its flash, else BadInput naming the file
//   (truncate takes what fits of files that reach beyond it).
PartFit fitToPart(const Part& part, Command command, const HexFiles& files, bool truncate, Progress& progress);

} // namespace zelvan
