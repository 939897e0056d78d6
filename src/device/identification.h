#pragma once

#include "device_catalogue.h"

#include "common/ending.h"
#include "link/link_context.h"

#include <QString>

#include <optional>

namespace zelvan {

// The three identification bytes of the target, each as the two characters the board sent.
struct IdBytes {
    QString manufacturer; // "15" for Philips
    QString deviceId1;    // "DD" for the LPC9xx family
    QString deviceId2;    // the key of the device catalogue

    // All three "FF": nothing answered behind the board (target missing or unpowered).
    bool allFF() const;
    // "15 DD 1F"
    QString text() const { return manufacturer + QLatin1Char(' ') + deviceId1 + QLatin1Char(' ') + deviceId2; }
};

// An identified target: its ids, its catalogue entry (nullptr for an id the catalogue lacks) and
// the flash layout identification set for it.
struct Part {
    IdBytes ids;
    const CatalogueEntry* entry = nullptr;
    DeviceGeometry geometry;

    // "LPC932A1", or "unknown" outside the catalogue.
    QString name() const { return entry ? entry->partName() : QStringLiteral("unknown"); }
    // Philips / LPC9 / the entry's texts, "[unknown]" where they do not match.
    QString description() const { return partDescription(ids.manufacturer, ids.deviceId1, ids.deviceId2); }
};

// The part a set of ids names; previous is the part identified before, whose bootloader address an
// id outside the catalogue keeps.
Part partForIds(const IdBytes& ids, const std::optional<Part>& previous);

struct IdReading : Result {
    std::optional<IdBytes> ids; // all three, when every read was answered
};

// Reads the manufacturer byte and the two device ids, reporting each as it arrives ("CPU MFG=15
// ..."). A read that got no closing "." ends it: nothing else may change then.
IdReading readIdBytes(LinkContext& ctx);

} // namespace zelvan
