#pragma once

#include "led.h"

#include <QString>

namespace zelvan {

// What a running operation tells its front end as it goes. Nothing here waits or asks: the window
// turns it into its status line, indicator and progress bar, the command line into its progress
// line and notes. Every call has a default that ignores it.
class Progress {
public:
    virtual ~Progress() = default;

    // The link indicator: yellow while a record goes out, dark yellow while waiting, green or red
    // after the answer.
    virtual void indicate(Led) {}
    // What is being done now ("Reading CPU ID...", "CPU MFG=15 ID1=DD ..."), in the program's words.
    virtual void step(const QString&) {}
    // A counted pass begins: what it does and what it counts ("programming", "pages").
    virtual void stage(const QString& /*task*/, const QString& /*unit*/) {}
    // Units done of the units of the pass (pages, sectors); a total of 0 ends the count.
    virtual void units(int /*done*/, int /*total*/) {}
    // Something the user should know while the work goes on ("2 page(s) ... will not be written").
    virtual void notice(const QString&) {}
};

} // namespace zelvan
