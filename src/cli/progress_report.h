#pragma once

#include "console.h"

#include <QElapsedTimer>
#include <QString>

namespace zelvan::cli {

// The progress line of a terminal: a bar, units done of units, percent, elapsed and remaining
// time ("[########............]  12/40 pages  30%  0:04 elapsed, 0:09 left").
QString progressBarText(int done, int total, const QString& unit, qint64 elapsedMs);

// Follows one long command's progress: redraws the bar on a terminal (at most every 100 ms, and
// at the end), or prints a line at every tenth otherwise ("COM1: programming 30% (12/40 pages)").
class ProgressReport {
public:
    ProgressReport(Console& console, QString prefix);

    // What is being counted for the next command ("programming", "pages").
    void setTask(const QString& task, const QString& unit);
    void update(int done, int total);
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
};

} // namespace zelvan::cli
