#pragma once

#include "link/link_timing.h"
#include "link/port_names.h"
#include "sim/pty_board_server.h"

#include <QRegularExpression>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>

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
    sim::PtyBoardServer& board(int com) { return *boards_[static_cast<size_t>(com - 1)]; }
    void makeMissing(int com);
    // COM1, COM2, ... as the words say: "" as it is, "silent", "mute" (answers the synchronisation
    // but not the loader version), "locked" (exists, but opening it fails with an I/O error), "FF"
    // (nothing behind the board: every id reads FF) or a catalogue part.
    void placeAll(const QStringList& ports);

private:
    std::array<std::unique_ptr<sim::PtyBoardServer>, kPortCount> boards_;
    int lockedPty_ = -1; // a pseudo-terminal never unlocked
};

inline QStringList received(sim::PtyBoardServer& board) {
    return board.withBoard([](sim::BoardModel& model) { return model.received(); });
}

// The records of the type among those sent, in order: "00" a page, "02" a configuration value.
inline QStringList recordsOfType(const QStringList& sent, const QString& type) {
    return sent.filter(QRegularExpression(QStringLiteral("^:.{6}") + type));
}

inline QByteArray flashOf(sim::PtyBoardServer& board) {
    return board.withBoard([](sim::BoardModel& model) { return model.flash(); });
}

inline void clearReceived(sim::PtyBoardServer& board) {
    board.withBoard([](sim::BoardModel& model) { model.clearReceived(); });
}

// Simulated boards, and the one at COM1 a test works with: what it received, its flash and
// configuration, and the faults it is told to show.
struct SimTarget {
    BoardRig rig; // first, so that whatever holds the port lets go of it before the board goes
    sim::PtyBoardServer* board = nullptr;

    QStringList sent() { return received(*board); }
    QByteArray flash() { return flashOf(*board); }
    QByteArray bootloader() {
        return withBoard([](sim::BoardModel& model) { return model.bootloaderImage(); });
    }
    std::optional<quint8> config(int address) {
        return withBoard([address](sim::BoardModel& model) { return model.configByte(address); });
    }
    void addRule(const sim::FaultRule& rule) {
        withBoard([&rule](sim::BoardModel& model) { model.faults().rules.push_back(rule); });
    }
    // Runs f on the board model while the board is held still.
    template <typename F> auto withBoard(F&& f) -> decltype(f(std::declval<sim::BoardModel&>())) {
        return board->withBoard(std::forward<F>(f));
    }
};

} // namespace zelvan::test
