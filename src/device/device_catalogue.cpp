#include "device_catalogue.h"

#include "common/hex_text.h"

#include <algorithm>
#include <array>

namespace zelvan {

namespace {

constexpr const char* k256b1K = " (256b Sector Size, 16b Page Size, 1Kb Flash)";
constexpr const char* k256b2K = " (256b Sector Size, 16b Page Size, 2Kb Flash)";
constexpr const char* k1K2K = " (1Kb Sector Size, 64b Page Size, 2Kb Flash)";
constexpr const char* k1K4K = " (1Kb Sector Size, 64b Page Size, 4Kb Flash)";
constexpr const char* k1K8K = " (1Kb Sector Size, 64b Page Size, 8Kb Flash)";
constexpr const char* k2K16K = " (2Kb Sector Size, 64b Page Size, 16Kb Flash)";
constexpr const char* k1K16K = " (1Kb Sector Size, 64b Page Size, 16Kb Flash)";

// Flash last address, sector size, page size, bootloader address.
constexpr DeviceGeometry kSmall1K{1023, 256, 16, 1024};
constexpr DeviceGeometry kSmall2K{2047, 256, 16, 2048};
constexpr DeviceGeometry kFlash2K{2047, 1024, 64, 1536};
constexpr DeviceGeometry kFlash4K{4095, 1024, 64, 3584};
constexpr DeviceGeometry kFlash8K{8191, 1024, 64, 7680};
constexpr DeviceGeometry kFlash16K2KSectors{16383, 2048, 64, 15872};
constexpr DeviceGeometry kFlash16K{16383, 1024, 64, 15872};

constexpr std::array<CatalogueEntry, 35> kCatalogue{{
    {"0D", "01", k256b1K, kSmall1K},  {"0F", "02", k256b1K, kSmall1K},    {"10", "03", k256b1K, kSmall1K},
    {"21", "04", k256b1K, kSmall1K},  {"11", "06", k256b1K, kSmall1K},    {"12", "07", k256b1K, kSmall1K},
    {"13", "08", k256b1K, kSmall1K},  {"22", "102", k256b1K, kSmall1K},   {"23", "103", k256b1K, kSmall1K},
    {"27", "107", k256b1K, kSmall1K}, {"14", "12", k256b1K, kSmall1K},    {"15", "13", k256b1K, kSmall1K},
    {"16", "14", k256b1K, kSmall1K},  {"17", "15", k256b2K, kSmall2K},    {"18", "16", k256b2K, kSmall2K},
    {"20", "17", k256b2K, kSmall2K},  {"2D", "18", k256b2K, kSmall2K},    {"1A", "20", k1K2K, kFlash2K},
    {"0B", "21", k1K4K, kFlash4K},    {"0C", "22/9221", k1K8K, kFlash8K}, {"1B", "24", k1K4K, kFlash4K},
    {"1C", "25", k1K8K, kFlash8K},    {"19", "30", k1K4K, kFlash4K},      {"09", "31/9311", k1K8K, kFlash8K},
    {"05", "32", k1K8K, kFlash8K},    {"1F", "32A1", k1K8K, kFlash8K},    {"A0", "33", k1K4K, kFlash4K},
    {"1D", "34", k1K8K, kFlash8K},    {"1E", "35", k1K8K, kFlash8K},      {"24", "36", k2K16K, kFlash16K2KSectors},
    {"25", "38", k1K8K, kFlash8K},    {"26", "401", k1K8K, kFlash8K},     {"29", "408", k1K8K, kFlash8K},
    {"28", "52", k1K8K, kFlash8K},    {"7A", "54", k1K16K, kFlash16K},
}};

} // namespace

std::span<const CatalogueEntry> deviceCatalogue() {
    return kCatalogue;
}

const CatalogueEntry* findPartById(QStringView deviceId2) {
    const auto it = std::find_if(kCatalogue.begin(), kCatalogue.end(), [&](const CatalogueEntry& entry) {
        return deviceId2 == QLatin1String(entry.deviceId2);
    });
    return it == kCatalogue.end() ? nullptr : &*it;
}

const CatalogueEntry* findPartByName(QStringView name) {
    for (const CatalogueEntry& entry : kCatalogue) {
        const QString full = entry.partName();
        if (name.compare(full, Qt::CaseInsensitive) == 0)
            return &entry;
        // "LPC922/9221" also answers to "LPC922" and "LPC9221".
        const QStringList alternatives = QString::fromLatin1(entry.partText).split(QLatin1Char('/'));
        for (const QString& alternative : alternatives) {
            const QString alone = alternative.startsWith(QLatin1String("9")) && alternative.size() > 3
                                      ? QStringLiteral("LPC") + alternative
                                      : QStringLiteral("LPC9") + alternative;
            if (name.compare(alone, Qt::CaseInsensitive) == 0)
                return &entry;
        }
    }
    return nullptr;
}

DeviceGeometry geometryForId(QStringView deviceId2, const std::optional<DeviceGeometry>& previous) {
    if (const CatalogueEntry* entry = findPartById(deviceId2))
        return entry->geometry;
    return DeviceGeometry{16383, 1024, 16, previous ? previous->intBootloaderAddr : 0};
}

QStringList partListing() {
    QStringList lines;
    for (const CatalogueEntry& entry : kCatalogue) {
        const DeviceGeometry& g = entry.geometry;
        const QString bootloader = g.hasBootloader()
                                       ? QStringLiteral("bootloader at %1H").arg(strDecToHex16(g.intBootloaderAddr))
                                       : QStringLiteral("no bootloader area");
        lines.append(QStringLiteral("%1  id %2  %3 KB flash, %4-byte sectors, %5-byte pages, %6")
                         .arg(entry.partName().leftJustified(12))
                         .arg(QLatin1String(entry.deviceId2))
                         .arg(g.flashSize() / 1024, 2)
                         .arg(g.intSectorSize, 4)
                         .arg(g.intPageSize, 2)
                         .arg(bootloader));
    }
    return lines;
}

QString partDescription(QStringView manufacturer, QStringView deviceId1, QStringView deviceId2) {
    QString text = manufacturer == QLatin1String("15") ? QStringLiteral("Philips ") : QStringLiteral("[unknown] ");
    text += deviceId1 == QLatin1String("DD") ? QStringLiteral("LPC9") : QStringLiteral("[unknown] ");
    if (const CatalogueEntry* entry = findPartById(deviceId2))
        text += QLatin1String(entry->partText) + QLatin1String(entry->geometryText);
    else
        text += QStringLiteral("[unknown]");
    return text;
}

} // namespace zelvan
