#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace zelvan {

// Takes the wire log (the "zelvan.wire" logging category: every write to the board and every
// answer, time-stamped, in printable form) into the window while it is active.
//
// Active, it switches the category on and takes its lines from the program's Qt message handler
// (installed once, chaining every other message to the handler that was there before). The
// handler only appends the line it is given to a list; a timer hands the list over in batches
// (linesArrived) every kFlushInterval, so a full-speed exchange never waits for a widget.
// Inactive, the category is back as it was (off, unless the environment switched it on for a
// trace on stderr, which then goes on as before). One capture is active at a time.
class LinkCapture : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFlushInterval{75};

    explicit LinkCapture(QObject* parent = nullptr);
    ~LinkCapture() override;

    void setActive(bool active);
    bool isActive() const { return active_; }
    // Hands over what has arrived so far now, rather than at the next tick.
    void flush();

signals:
    void linesArrived(const QStringList& lines);

private:
    QTimer flushTimer_;
    bool active_ = false;
    bool categoryWasOn_ = false;
};

} // namespace zelvan
