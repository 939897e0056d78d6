#include "progress_report.h"

namespace zelvan::cli {

namespace {

constexpr int kBarWidth = 24;
constexpr qint64 kRedrawMs = 100;

QString minutesSeconds(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString progressBarText(int done, int total, const QString& unit, qint64 elapsedMs) {
    const int filled = total > 0 ? kBarWidth * done / total : 0;
    const int percent = total > 0 ? 100 * done / total : 0;
    QString text = QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                   QString(kBarWidth - filled, QLatin1Char('.')) +
                   QStringLiteral("]  %1/%2 %3  %4%  %5 elapsed")
                       .arg(done)
                       .arg(total)
                       .arg(unit)
                       .arg(percent, 3)
                       .arg(minutesSeconds(elapsedMs));
    if (done > 0 && done < total)
        text += QStringLiteral(", %1 left").arg(minutesSeconds(elapsedMs * (total - done) / done));
    return text;
}

ProgressReport::ProgressReport(Console& console, QString prefix)
    : console_(console)
    , prefix_(std::move(prefix)) {}

void ProgressReport::notice(const QString& text) {
    console_.note(prefix_ + QStringLiteral("note: ") + text);
}

void ProgressReport::stage(const QString& task, const QString& unit) {
    task_ = task;
    unit_ = unit;
    done_ = total_ = 0;
}

void ProgressReport::units(int done, int total) {
    // A total of 0 ends the indication: the command is over.
    if (total <= 0) {
        if (lastDrawMs_ >= 0 && console_.drawsProgressBar())
            console_.endProgressLine();
        lastDrawMs_ = -1;
        lastTenth_ = -1;
        return;
    }
    if (done == 0 || !clock_.isValid())
        clock_.start();
    done_ = done;
    total_ = total;
    if (!console_.showsProgress())
        return;
    const qint64 now = clock_.elapsed();
    if (console_.drawsProgressBar()) {
        if (lastDrawMs_ < 0 || now - lastDrawMs_ >= kRedrawMs || done == total) {
            console_.progressLine(prefix_ + task_ + QLatin1Char(' ') + progressBarText(done, total, unit_, now));
            lastDrawMs_ = now;
        }
        return;
    }
    if (console_.drawsBoardLines()) {
        if (lastDrawMs_ < 0 || now - lastDrawMs_ >= kRedrawMs || done == total) {
            console_.boardLine(prefix_, QStringLiteral("%1%2 %3/%4 %5 %6%")
                                                .arg(prefix_, task_)
                                                .arg(done)
                                                .arg(total)
                                                .arg(unit_)
                                                .arg(100 * done / total, 3) +
                                            (tail_ ? tail_() : QString()));
            lastDrawMs_ = now;
        }
        return;
    }
    const int tenth = 10 * done / total;
    if (tenth != lastTenth_ && (done > 0 || lastTenth_ < 0)) {
        lastTenth_ = tenth;
        console_.note(
            QStringLiteral("%1%2 %3% (%4/%5 %6)").arg(prefix_, task_).arg(10 * tenth).arg(done).arg(total).arg(unit_));
    }
}

} // namespace zelvan::cli
