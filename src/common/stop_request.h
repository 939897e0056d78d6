#pragma once

#include <atomic>

namespace zelvan {

// A user's request to stop a long command (programming, a range of erases or CRCs, an automation
// run). The command looks at it between records, so it ends after the record in flight has been
// answered, never in the middle of one. Safe to set from another thread or a signal handler.
class StopRequest {
public:
    void request() { requested_.store(true, std::memory_order_relaxed); }
    void reset() { requested_.store(false, std::memory_order_relaxed); }
    bool requested() const { return requested_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> requested_{false};
};

} // namespace zelvan
