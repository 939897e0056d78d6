#pragma once

#include "console.h"

#include "board/board.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>

namespace zelvan::cli {

// The progress line of a terminal: a bar, units done of units, percent, elapsed and remaining
// time ("[########............]  12/40 pages  30%  0:04 elapsed, 0:09 left").
QString progressBarText(int done, int total, const QString& unit, qint64 elapsedMs);

// The progress of the operations on one board, on the terminal: redraws the bar (at most every
// 100 ms, and at the end), or prints a line at every tenth otherwise ("COM1: programming 30%
// (12/40 pages)"); notices go to stderr as notes.
class ProgressReport : public ConnectionProgress {
public:
    ProgressReport(Console& console, QString prefix);

    void stage(const QString& task, const QString& unit) override;
    void units(int done, int total) override;
    void notice(const QString& text) override;
    // What follows the progress on a board's line (a station's counts).
    void setBoardLineTail(std::function<QString()> tail) { tail_ = std::move(tail); }
    // Units done of the last command, and how many it had (0 when none ran).
    int done() const { return done_; }
    int total() const { return total_; }
    QString task() const { return task_; }
    QString unit() const { return unit_; }

private:
    Console& console_;
    QString prefix_;
    QString task_;
    QString unit_;
    QElapsedTimer clock_;
    qint64 lastDrawMs_ = -1;
    int done_ = 0;
    int total_ = 0;
    int lastTenth_ = -1;
    std::function<QString()> tail_;
};

} // namespace zelvan::cli
