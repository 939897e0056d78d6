#pragma once

#include "board/command_call.h"

#include <QString>

namespace zelvan {

// What the window shows when a command of the table has ended: its closing status line and its
// box. A result box (erases, board commands, programming) comes with a beep and is left out while
// an automation file runs; a message box (values read, a refusal) is always shown.
struct Presentation {
    enum class Box { None, Result, Message };
    QString status; // the closing status line; empty: the command leaves the last one it showed
    Box box = Box::None;
    QString boxText;
    QString boxTitle;
    bool statusFirst = false; // the status line changes before the box comes up

    bool operator==(const Presentation&) const = default;
};

// How the window shows the result of a command of the table (the Verify menu's excepted).
Presentation presentation(Command command, const CommandResult& result);

// The box of a verify: "Verify: Done. n CRC(s) as <against> says." or what went wrong, and what was
// compared with.
QString verifyText(const Verification& verification, const DeviceGeometry& part, const QString& against);

} // namespace zelvan
