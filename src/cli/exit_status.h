#pragma once

#include "common/ending.h"

namespace zelvan::cli {

// The exit status of zelvan-cli: the contract scripts and production lines act on. The same for
// every command.
enum ExitStatus : int {
    kDone = 0,          // all done
    kNotDone = 1,       // the board or the target refused, did not answer, or the work was not done
    kUsage = 2,         // usage error, or an input file that cannot be read or is refused; nothing sent
    kVerifyFailed = 3,  // the chip does not hold what it should
    kNoBoard = 4,       // no programmer board found, or the port could not be opened
    kInterrupted = 130, // SIGINT (Ctrl-C)
    kTerminated = 143,  // SIGTERM
};

// The exit status a command's ending earns on one board.
inline int statusOf(Ending ending) {
    switch (ending) {
    case Ending::Done:
        return kDone;
    case Ending::BadInput:
        return kUsage;
    case Ending::Mismatch:
        return kVerifyFailed;
    default:
        return kNotDone;
    }
}

} // namespace zelvan::cli
