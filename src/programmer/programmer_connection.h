#pragma once

#include "command_context.h"

#include <optional>

namespace zelvan {

// Gives the board three "U" to lock onto the port's speed and waits the whole synchronisation
// window for one to come back. Shows "Connected" (green) or "Unconnected" with a red indicator.
// Returns fgBaudSync.
bool NegotiateBaudrate(CommandContext& ctx);

// Asks the board for its loader version (body "00000001"). Indicator green when answered (a
// closing "." came), red otherwise. Returns the version text (the whole answer) when answered.
std::optional<QString> GetLoaderVersion(CommandContext& ctx);

// The loader version text without the echo of the record in front ("ZELVAN ICP 2-1").
QString versionWithoutEcho(const QString& answerText);

} // namespace zelvan
