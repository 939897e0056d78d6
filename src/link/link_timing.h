#pragma once

#include <chrono>

namespace zelvan {

// Time limits of the exchange with the programmer board. The defaults are those the board is
// built for; tests shorten them so that a silent board costs milliseconds instead of seconds.
struct LinkTiming {
    // How long a written record may take to leave the port before the wait gives up on it.
    std::chrono::milliseconds transmitLimit{5000};
    // How long the board may take to answer a record.
    std::chrono::milliseconds answerLimit{5000};
    // How long the board is given to echo the baud synchronisation "U".
    std::chrono::milliseconds syncWindow{1000};
};

// The limits the environment variable ZELVAN_LINK_TIMING_MS sets ("transmit,answer,sync" in
// milliseconds, e.g. "300,300,100" for a test rig, "5000,20000,1000" for a board that erases
// slowly); the defaults when it is not set or not three numbers.
LinkTiming linkTimingFromEnvironment();

} // namespace zelvan
