#pragma once

#include "led.h"

#include <QString>

namespace zelvan {

// The running report of a command: status line, link indicator, connection label and progress.
class Feedback {
public:
    virtual ~Feedback() = default;

    // The status line: "<phrase>..." when an operation starts, "<phrase>: Done" (or ": Error",
    // ": Interrupted") when it ends.
    virtual void setStatus(const QString& text) = 0;
    virtual void setIndicator(Led colour) = 0;
    virtual Led indicator() const = 0;
    // "Connected" in green, or "Unconnected" keeping the label's colour.
    virtual void showConnection(bool connected) = 0;
    // Units done of the units of a long command (pages, sectors); a total of 0 ends the indication.
    virtual void setProgress(int done, int total) = 0;
};

} // namespace zelvan
