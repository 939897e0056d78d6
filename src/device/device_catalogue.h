#pragma once

#include <QString>
#include <QStringView>

#include <span>

namespace zelvan {

// The flash layout of the identified part. Before the first identification it holds the values
// the window starts with.
struct DeviceGeometry {
    int intFlashLastAddr = 8191; // flash size - 1
    int intSectorSize = 0;       // bytes per sector; 0 until a part is identified
    int intPageSize = 64;        // bytes per page
    int intBootloaderAddr = 0;   // first address of the bootloader area that erasing protects

    int flashSize() const { return intFlashLastAddr + 1; }
    int sectorCount() const { return intSectorSize > 0 ? flashSize() / intSectorSize : 0; }
    int pageCount() const { return intPageSize > 0 ? flashSize() / intPageSize : 0; }
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
// catalogue 16 KB flash, 1 KB sectors and 16-byte pages with the bootloader address kept.
DeviceGeometry geometryForId(QStringView deviceId2, const DeviceGeometry& previous);

// The text naming the part: "Philips " or "[unknown] ", then "LPC9" or "[unknown] ", then the
// entry's part and geometry texts or "[unknown]".
QString partDescription(QStringView manufacturer, QStringView deviceId1, QStringView deviceId2);

} // namespace zelvan
