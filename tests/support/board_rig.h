#pragma once

#include "link/link_timing.h"
#include "link/port_names.h"
#include "sim/pty_board_server.h"

#include <array>
#include <memory>

namespace zelvan::test {

// Short time limits: a silent board costs a fraction of a second instead of five.
LinkTiming fastTiming();

// The catalogue part of the given name with the board's default behaviour.
sim::BoardModel boardFor(const char* partName);

// Puts simulated boards behind COM1..COM8. Every port starts missing (its ZELVAN_COMn names a
// device that does not exist), so nothing of the machine's own serial ports takes part.
class BoardRig {
public:
    BoardRig();
    ~BoardRig();

    // A board on COMn answering as the model says; returns its server.
    sim::PtyBoardServer& place(int com, sim::BoardModel model);
    // COMn opens but nothing answers on it.
    sim::PtyBoardServer& placeSilent(int com);
    sim::PtyBoardServer& board(int com) { return *boards_[static_cast<size_t>(com - 1)]; }
    void makeMissing(int com);

private:
    std::array<std::unique_ptr<sim::PtyBoardServer>, kPortCount> boards_;
};

} // namespace zelvan::test

namespace zelvan::test {

// A pseudo-terminal that is never unlocked: it exists, but opening it fails with an I/O error,
// as a port does whose device is there but cannot be used.
class LockedPty {
public:
    LockedPty();
    ~LockedPty();
    LockedPty(const LockedPty&) = delete;
    LockedPty& operator=(const LockedPty&) = delete;
    QString devicePath() const { return path_; }

private:
    int master_ = -1;
    QString path_;
};

} // namespace zelvan::test
