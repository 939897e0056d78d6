#pragma once

#include "board_rig.h"
#include "fake_dialogs.h"
#include "session_recorder.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelvan::test {

// A test data file, from tests/data.
QString fixturePath(const char* name);
QByteArray fixtureBytes(const char* name);

// A session with short time limits, scripted dialogs and a simulated board with the named part
// on COM1. Identified: Auto Connect has found the board and identified the part; otherwise COM1
// is only opened. Either way the record of what was sent, shown and asked starts empty.
struct ConnectedTarget {
    BoardRig rig; // first, so that the session lets go of its port before the board goes
    FakeDialogs dialogs;
    Session session{dialogs};
    SessionRecorder record{session};
    sim::PtyBoardServer* board = nullptr;

    explicit ConnectedTarget(const char* part = "LPC932A1", bool identified = true);

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
};

} // namespace zelvan::test
