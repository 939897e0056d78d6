#include "gang_run.h"

#include <QEventLoop>
#include <QThread>

#include <algorithm>

namespace zelvan::cli {

GangRun::GangRun(const RunSetup& setup, Console& console, const QStringList& ports, bool optional) {
    for (const QString& port : ports) {
        auto job = std::make_shared<BoardJob>(setup, console, port, port + QStringLiteral(": "));
        job->setOptional(optional);
        jobs_.append(job);
    }
}

GangRun::~GangRun() = default;

QList<JobResult> GangRun::run() {
    QList<JobResult> results(jobs_.size());
    QList<QThread*> threads;
    QEventLoop loop;
    int running = static_cast<int>(jobs_.size());
    for (qsizetype i = 0; i < jobs_.size(); ++i) {
        QThread* thread = QThread::create([job = jobs_[i], &results, i] { results[i] = job->run(); });
        QObject::connect(thread, &QThread::finished, &loop, [&running, &loop] {
            if (--running == 0)
                loop.quit();
        });
        threads.append(thread);
    }
    for (QThread* thread : threads)
        thread->start();
    if (running > 0)
        loop.exec();
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
    return results;
}

void GangRun::interrupt(int status) {
    for (const std::shared_ptr<BoardJob>& job : jobs_)
        job->interrupt(status);
}

QStringList gangTable(const QList<JobResult>& results) {
    QStringList lines{QStringLiteral("port       part         result            time    CRCs verified")};
    for (const JobResult& result : results) {
        if (result.absent)
            continue;
        const QString outcome = result.status == kDone           ? QStringLiteral("done")
                                : result.status == kVerifyFailed ? QStringLiteral("verify failed")
                                : !result.undone.isEmpty()       ? QStringLiteral("interrupted")
                                                                 : QStringLiteral("failed (%1)").arg(result.status);
        lines.append(QStringLiteral("%1 %2 %3 %4 s  %5")
                         .arg(result.port.leftJustified(10))
                         .arg((result.part.isEmpty() ? QStringLiteral("-") : result.part).leftJustified(12))
                         .arg(outcome.leftJustified(17))
                         .arg(result.milliseconds / 1000.0, 6, 'f', 1)
                         .arg(result.crcsVerified));
    }
    return lines;
}

int gangExitStatus(const QList<JobResult>& results) {
    bool verifyFailures = false;
    for (const JobResult& result : results) {
        if (result.absent || result.status == kDone)
            continue;
        if (!result.undone.isEmpty())
            return result.status;
        if (result.status != kVerifyFailed)
            return kNotDone;
        verifyFailures = true;
    }
    return verifyFailures ? kVerifyFailed : kDone;
}

} // namespace zelvan::cli
