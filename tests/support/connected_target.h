#pragma once

#include "board_rig.h"
#include "fake_dialogs.h"
#include "files.h"
#include "session_recorder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelvan::test {

// A session with short time limits and scripted dialogs, and simulated boards behind COM1..COM8
// (all missing at first). Identified: a board with the named part is on COM1 and Auto Connect has
// found it and identified the part; PortOpened: the board is on COM1 and COM1 is only opened;
// NoBoard: nothing is placed. The record of what was sent, shown and asked starts empty.
struct ConnectedTarget {
    enum class Start { Identified, PortOpened, NoBoard };

    BoardRig rig; // first, so that the session lets go of its port before the board goes
    FakeDialogs dialogs;
    Session session{dialogs};
    SessionRecorder record{session};
    sim::PtyBoardServer* board = nullptr;

    explicit ConnectedTarget(const char* part = "LPC932A1", Start start = Start::Identified);

    // Loads a file through the Load Firmware dialog, as the user would.
    void loadFirmware(const QString& path);
    // Forgets what was sent, shown and asked so far.
    void forget();

    QStringList sent();
    void addRule(const sim::FaultRule& rule);
    QByteArray flash();
    QByteArray bootloader();
    std::optional<quint8> config(int address);
    void setConfig(int address, quint8 value);
    // Runs f on the board model while the board is held still.
    template <typename F> auto withBoard(F&& f) { return board->withBoard(std::forward<F>(f)); }
};

} // namespace zelvan::test
