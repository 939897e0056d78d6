#pragma once

#include "board_model.h"

#include <QString>

#include <optional>

namespace zelvan::sim {

// Reads a fault rule as the simulator's command line writes it:
//   "P" or "S"          a board letter
//   "type:04"           records of a type (hex)
//   "body:0300000401"   records whose body starts with the text
// optionally followed by "#n" to match only the n-th such command.
std::optional<FaultRule> parseFaultRule(const QString& text, FaultRule::Action action);

} // namespace zelvan::sim
