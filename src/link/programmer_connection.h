#pragma once

#include "command_context.h"

namespace zelvan {

// Gives the board three "U" to lock onto the port's speed and waits for one to come back.
// Shows "Connected" (green) or "Unconnected" with a red indicator. Returns fgBaudSync.
bool NegotiateBaudrate(CommandContext& ctx);

// Asks the board for its loader version (body "00000001"); the text is left in strLastResponse.
// Indicator green when answered, red otherwise. Returns fgResponseOK.
bool GetLoaderVersion(CommandContext& ctx);

// Asks the target for its manufacturer id; true when the board answered with a completed reply.
bool fgMicroConnected(IspLink& link);

} // namespace zelvan
