#pragma once

#include "session/commands.h"

#include <QString>

namespace zelvan {

// The tip of a command button: what it does and what it sends to the board (record bodies as
// LL AAAA TT data, without the ":" and the checksum).
QString buttonTip(Command command);

// The tip of the link indicator: what each of its colours says.
QString indicatorTip();

} // namespace zelvan
