#pragma once

#include "programmer/command_context.h"

#include <QString>

#include <optional>

namespace zelvan {

// The three identification bytes of the target, each as the two characters the board sent.
struct IdBytes {
    QString manufacturer; // "15" for Philips
    QString deviceId1;    // "DD" for the LPC9xx family
    QString deviceId2;    // the key of the device catalogue

    // All three "FF": nothing answered behind the board (target missing or unpowered).
    bool allFF() const;
};

// Reads the manufacturer byte and the two device ids, showing each on the status line as it
// arrives. Returns nothing when a read got no completed answer: the status line then reads
// "CPU ID Read Failed" and the caller must change nothing else.
std::optional<IdBytes> readIdBytes(CommandContext& ctx);

} // namespace zelvan
