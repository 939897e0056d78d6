#pragma once

#include "programmer/command_context.h"
#include "programmer/outcome_report.h"

#include <QList>
#include <QString>

#include <optional>

namespace zelvan {

// The CRC value of an answer: the eight characters after the echo (all there are, if fewer).
QString crcValue(const IspAnswer& answer);
// A CRC as a number, when the text is one: exactly eight hex digits.
std::optional<quint32> crcNumber(const QString& text);
// A CRC as the board writes it: eight upper-case hex digits.
QString crcText(quint32 value);

// Asks for the global CRC of the flash and shows it in a box (during the automation too).
// Returns the value when the board answered.
std::optional<QString> readGlobalCrc(CommandContext& ctx);

struct SectorCrc {
    int address; // the sector's first address
    QString value;
};

struct SectorCrcReading {
    Ending ending = Ending::Error;
    QList<SectorCrc> values; // the sectors read, in order (all of them when ending is Done)
};

// Asks for the CRC of each sector firstIndex..lastIndex and shows one line per sector in a box;
// the first failure ends the pass and the box then shows only the error. A pass with no range at
// all (nothing chosen) reads nothing and is not done work. The user may stop it between sectors.
SectorCrcReading readSectorCrcs(CommandContext& ctx, int sectorSize, int firstIndex, int lastIndex);

// The CRC of the sector starting at address: one exchange with the sector's address high byte.
// The indicator is left yellow; the caller shows the outcome.
IspAnswer strGetSectorCRC(CommandContext& ctx, int address);

} // namespace zelvan
