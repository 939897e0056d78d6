#pragma once

#include "firmware_cache.h"
#include "intel_hex.h"

#include "link/command_context.h"

#include <QString>

namespace zelvan {

inline constexpr qint64 kMaxHexFileBytes = 64 * 1024 * 1024;

// The box text for a file that could not be loaded: "Error:  n" and the line and reason.
QString hexFaultText(const QString& path, const HexReadResult& result);

// Loads one Intel HEX file into the cache, the way "Load Firmware" does: the not-cleared warning
// when something is loaded already, the file dialog, then the file read into a copy of the cache
// that replaces the cache only when the whole file was good. Shows the over-flash warning once.
// Returns the path loaded, or an empty text when nothing changed (cancelled, missing, refused).
QString loadFirmwareFile(CommandContext& ctx, FirmwareCache& cache, int flashLastAddr, bool somethingLoaded);

} // namespace zelvan
