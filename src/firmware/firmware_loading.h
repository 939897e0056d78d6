#pragma once

#include "firmware_cache.h"
#include "intel_hex.h"

#include "programmer/command_context.h"

#include <QString>

namespace zelvan {

// The largest file read as Intel HEX: 64 MB, far above any image of these parts (a 16 KB image is
// about 45 KB of text) and well above the 1 MB files that carry data above the flash too.
inline constexpr qint64 kMaxHexFileBytes = 64 * 1024 * 1024;

// The box text for a file that could not be loaded: "Error:  n" and the line and reason.
QString hexFaultText(const QString& path, const HexReadResult& result);

// Reads one Intel HEX file over the cache. The file is read into a copy of the cache that replaces
// the cache only when the whole file was good; a file that is not a regular file, or is larger
// than kMaxHexFileBytes, is refused before it is read.
HexReadResult loadHexFile(const QString& path, FirmwareCache& cache, int flashLastAddr);

// Loads one Intel HEX file into the cache, the way "Load Firmware" does: the not-cleared warning
// when something is loaded already, the file dialog (or the given path, for a file dropped on
// the window), then loadHexFile. Shows the over-flash warning once.
// Returns the path loaded, or an empty text when nothing changed (cancelled, missing, refused).
QString loadFirmwareFile(CommandContext& ctx, FirmwareCache& cache, int flashLastAddr, bool somethingLoaded,
                         const QString& givenPath = QString());

} // namespace zelvan
