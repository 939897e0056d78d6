#pragma once

#include <QString>
#include <QStringList>

namespace zelvan {

// What zelvan-programmer was asked for on its command line.
struct WindowOptions {
    enum class Action { OpenWindow, Help, Version, ListParts, Refuse };
    Action action = Action::OpenWindow;
    bool simulator = false;
    bool simulatorReset = false; // with --simulator: a new chip instead of the one kept
    QString error;               // for Refuse: what was wrong
    QString helpText;
};

// Reads the arguments (the program name first). Qt's own options (-platform offscreen, -style
// fusion, ...) are left for QApplication; any other unknown option or a stray argument is refused.
WindowOptions parseWindowOptions(const QStringList& arguments);

} // namespace zelvan
