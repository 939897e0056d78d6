#pragma once

#include "led.h"

#include <QString>

namespace zelvan {

// The window's running report of a command: status line, link indicator and connection label.
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
};

} // namespace zelvan
