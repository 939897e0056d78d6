#pragma once

#include "isp_commands.h"

#include <QString>

#include <chrono>
#include <optional>

namespace zelvan {

// Time limits of the exchange with the programmer board. The defaults are those the board is
// built for; tests shorten them so that a silent board costs milliseconds instead of seconds.
struct LinkTiming {
    // How long a written record may take to leave the port before the wait gives up on it.
    std::chrono::milliseconds transmitLimit{5000};
    // How long the board may take to answer a record that the target carries out at once (a read,
    // a configuration write, a page, a page or sector erase). Records that make the target walk
    // its whole flash get a multiple of it (see answerLimitFor).
    std::chrono::milliseconds answerLimit{5000};
    // How long the board is given to echo the baud synchronisation "U".
    std::chrono::milliseconds syncWindow{1000};
};

// How long the board may take to answer a record of the type: the answer limit, and four times it
// for a chip erase and twice it for the CRC of the whole flash, which take the target through
// every page. A longer limit never changes an answer that comes; it only waits longer for a board
// that is slow.
std::chrono::milliseconds answerLimitFor(const LinkTiming& timing, RecordType type);

// The limits ZELVAN_LINK_TIMING_MS sets ("transmit,answer,sync" in milliseconds, e.g. "300,300,100"
// for a test rig, "5000,20000,1000" for a board that erases slowly); the defaults when it is not
// set. Nothing, with *error saying why, when it is set to anything but three positive numbers.
std::optional<LinkTiming> linkTimingFromEnvironment(QString* error);

} // namespace zelvan
