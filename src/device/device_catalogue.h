#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <span>

namespace zelvan {

// The flash layout of an identified part. Whoever holds one before any identification holds an
// empty std::optional<DeviceGeometry>: that is the one answer to "is a part identified?".
struct DeviceGeometry {
    int intFlashLastAddr = 0;  // flash size - 1
    int intSectorSize = 0;     // bytes per sector
    int intPageSize = 0;       // bytes per page
    int intBootloaderAddr = 0; // first address of the bootloader area that protection keeps

    int flashSize() const { return intFlashLastAddr + 1; }
    int sectorCount() const { return intSectorSize > 0 ? flashSize() / intSectorSize : 0; }
    int pageCount() const { return intPageSize > 0 ? flashSize() / intPageSize : 0; }
    // Whether the bootloader area lies inside the flash (parts with 256-byte sectors have none).
    bool hasBootloader() const { return intBootloaderAddr < flashSize(); }
    bool operator==(const DeviceGeometry&) const = default;
};

// One LPC9xx part, keyed by its device id 2.
struct CatalogueEntry {
    const char* deviceId2;    // "1F"
    const char* partText;     // "32A1", shown after "LPC9"
    const char* geometryText; // " (1Kb Sector Size, 64b Page Size, 8Kb Flash)"
    DeviceGeometry geometry;

    QString partName() const { return QStringLiteral("LPC9") + QLatin1String(partText); }
};

std::span<const CatalogueEntry> deviceCatalogue();

// The entry for a device id 2 (exact, case-sensitive text), or nullptr.
const CatalogueEntry* findPartById(QStringView deviceId2);
// The entry whose part name is name ("LPC932A1", "LPC922/9221"; either name of a shared entry
// such as "LPC9221" matches too), case-insensitive; nullptr when none.
const CatalogueEntry* findPartByName(QStringView name);

// The geometry identification sets for a device id 2: the entry's, or for an id outside the
// catalogue 16 KB flash, 1 KB sectors and 16-byte pages with the bootloader address of the part
// identified before (0 when there was none).
DeviceGeometry geometryForId(QStringView deviceId2, const std::optional<DeviceGeometry>& previous);

// One line per catalogue part, for a listing: name, device id 2, flash, sector and page sizes and
// where the bootloader starts ("LPC932A1  id 1F  8 KB flash, 1024-byte sectors, 64-byte pages,
// bootloader at 1E00H").
QStringList partListing();

// The text naming the part: "Philips " or "[unknown] ", then "LPC9" or "[unknown] ", then the
// entry's part and geometry texts or "[unknown]".
QString partDescription(QStringView manufacturer, QStringView deviceId1, QStringView deviceId2);

} // namespace zelvan
