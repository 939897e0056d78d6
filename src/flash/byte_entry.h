#pragma once

#include <QString>

#include <optional>

namespace zelvan {

// A byte value as the user or an automation file typed it, made fit for a write record: two hex
// digits go as typed; one digit, or more with leading zeros, become two upper-case digits.
// Anything that is not hexadecimal or is above FF gives nothing. Blanks around it are ignored.
std::optional<QString> normaliseByteEntry(const QString& entry);

} // namespace zelvan
