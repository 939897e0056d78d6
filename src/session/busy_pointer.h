#pragma once

#include "dialogs.h"

namespace zelvan {

// The busy pointer for as long as the guard lives. Guards nest: Dialogs implementations count
// them, so a command run inside another one leaves the pointer busy until the outer one ends.
class BusyPointer {
public:
    explicit BusyPointer(Dialogs& dialogs)
        : dialogs_(dialogs) {
        dialogs_.setBusyPointer(true);
    }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

    // Normal pointer from here on (before a closing box, say), instead of at the end of the scope.
    void release() {
        if (held_)
            dialogs_.setBusyPointer(false);
        held_ = false;
    }

private:
    Dialogs& dialogs_;
    bool held_ = true;
};

} // namespace zelvan
