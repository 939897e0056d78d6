#pragma once

#include <QString>

#include <map>
#include <optional>

namespace zelvan {

// The CRCs of a chip known to be good: the global CRC and every sector's, with the part's name,
// saved by "crc sectors --save FILE" and compared against by --golden FILE. They need no model of
// the signature and cover the bootloader's sectors too.
struct GoldenCrcs {
    QString partName;
    int sectorSize = 0;
    quint32 global = 0;
    std::map<int, quint32> sectors; // by sector index
};

// Writes the file as JSON ({"part", "sectorSize", "global", "sectors": [{"sector", "crc"}]}, CRCs
// as 8 hex digits). False with *error when it cannot be written.
bool saveGoldenCrcs(const QString& path, const GoldenCrcs& golden, QString* error);
// Reads a file saveGoldenCrcs wrote; nothing with *error when it cannot be read or is not one.
std::optional<GoldenCrcs> loadGoldenCrcs(const QString& path, QString* error);

} // namespace zelvan
