#pragma once

#include "board_rig.h"
#include "fake_dialogs.h"
#include "files.h"
#include "session_recorder.h"

namespace zelvan::test {

// A session with short time limits and scripted dialogs, and simulated boards behind COM1..COM8
// (all missing at first). Identified: a board with the named part is on COM1 and Auto Connect has
// found it and identified the part; PortOpened: the board is on COM1 and COM1 is only opened;
// NoBoard: nothing is placed. The record of what was sent, shown and asked starts empty.
struct ConnectedTarget : SimTarget {
    enum class Start { Identified, PortOpened, NoBoard };

    FakeDialogs dialogs;
    Session session{dialogs};
    SessionRecorder record{session};

    explicit ConnectedTarget(const char* part = "LPC932A1", Start start = Start::Identified) {
        session.link().setTiming(fastTiming());
        if (start == Start::NoBoard)
            return;
        board = &rig.place(1, boardFor(part));
        start == Start::Identified ? session.click(Command::AutoConnect) : session.chooseComPort(1);
        forget();
    }

    // Loads a file through the Load Firmware dialog, as the user would.
    void loadFirmware(const QString& path) {
        dialogs.fileAnswers.append(path);
        if (!session.click(Command::LoadFirmware))
            qFatal("Load Firmware is not available");
    }
    // Chooses the automation file from the menu, as the user would.
    void chooseAutomationFile(const QString& path) {
        dialogs.fileAnswers.append(path);
        if (!session.chooseLoadAutomationFile())
            qFatal("Load Automation File is refused");
    }
    // Forgets what was sent, shown and asked so far.
    void forget() {
        if (board)
            clearReceived(*board);
        dialogs.clear();
        record.clear();
    }
};

} // namespace zelvan::test
