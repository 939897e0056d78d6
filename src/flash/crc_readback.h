#pragma once

#include "link/command_context.h"

#include <QString>

namespace zelvan {

// The CRC value the board sent: the last eight characters of its answer (all of it if shorter).
QString crcValue(const ResponseState& state);

// Asks for the global CRC of the flash and shows it in a box (during the automation too).
// True when the board answered.
bool readGlobalCrc(CommandContext& ctx);

// Asks for the CRC of each sector firstIndex..lastIndex and shows one line per sector in a box;
// the first failure ends the pass and the box then shows only the error. True when every sector
// was answered; false too when there was no range (no part identified).
bool readSectorCrcs(CommandContext& ctx, int sectorSize, int firstIndex, int lastIndex);

// The CRC of the sector starting at address: one exchange with the sector's address high byte.
QString strGetSectorCRC(CommandContext& ctx, int address);

} // namespace zelvan
