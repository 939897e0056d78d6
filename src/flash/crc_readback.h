#pragma once

#include "erasing.h"

#include "common/ending.h"
#include "device/device_catalogue.h"
#include "link/link_context.h"

#include <QList>
#include <QString>

#include <map>
#include <optional>

namespace zelvan {

// The CRC value of an answer: the eight characters after the echo (all there are, if fewer).
QString crcValue(const IspAnswer& answer);
// A CRC as a number, when the text is one: exactly eight hex digits.
std::optional<quint32> crcNumber(const QString& text);
// A CRC as the board writes it: eight upper-case hex digits.
QString crcText(quint32 value);

// Asks for the global CRC of the flash.
ValueReading readGlobalCrc(LinkContext& ctx);

struct SectorCrc {
    int address; // the sector's first address
    QString value;
};

struct SectorCrcReading : Result {
    int sectorSize = 0;
    QList<SectorCrc> values; // the sectors read, in order (all of them when done)
};

// Asks for the CRC of each sector of the range; the first failure ends the pass. A pass with no
// range at all (nothing chosen) reads nothing and is not done work. The user may stop it between
// sectors.
SectorCrcReading readSectorCrcs(LinkContext& ctx, int sectorSize, UnitRange range);

// The CRCs of the sectors, as numbers; nothing with the reason when one was refused, not answered,
// or is not eight hex digits. Reports the units but no step: it serves verify and calibration.
struct SectorCrcValues : Result {
    std::map<int, quint32> crcs; // by sector index
};
SectorCrcValues readSectorCrcValues(LinkContext& ctx, const DeviceGeometry& part, const QList<int>& sectors);
// The global CRC as a number; the same rules.
struct GlobalCrcValue : Result {
    quint32 crc = 0;
};
GlobalCrcValue readGlobalCrcValue(LinkContext& ctx);

} // namespace zelvan
