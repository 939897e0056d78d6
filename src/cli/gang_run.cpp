#include "gang_run.h"

#include "link/port_names.h"

#include <QJsonObject>

#include <algorithm>
#include <memory>

namespace zelvan::cli {

namespace {

QString resultWord(int status) {
    switch (status) {
    case kDone:
        return QStringLiteral("done");
    case kVerifyFailed:
        return QStringLiteral("verify failed");
    case kInterrupted:
    case kTerminated:
        return QStringLiteral("interrupted");
    default:
        return QStringLiteral("failed");
    }
}

// The closing report of one board: the JSON object, or the error line on stderr.
void report(const CliRequest& request, const JobResult& result, Console& console, bool severalBoards) {
    QJsonObject object = result.fields;
    object[QStringLiteral("command")] = request.commandText;
    object[QStringLiteral("port")] = result.port;
    object[QStringLiteral("device")] = result.device;
    object[QStringLiteral("status")] = result.status;
    object[QStringLiteral("result")] = resultWord(result.status);
    object[QStringLiteral("milliseconds")] = result.milliseconds;
    if (!result.error.isEmpty())
        object[QStringLiteral("error")] = result.error;
    if (!result.undone.isEmpty())
        object[QStringLiteral("undone")] = result.undone;
    console.json(object);
    // The numbers given are results, printed with -q too.
    if (result.serialNumber)
        console.essential(QStringLiteral("%1serial number %2")
                              .arg(severalBoards ? result.port + QStringLiteral(": ") : QString())
                              .arg(*result.serialNumber));
    if (!result.undone.isEmpty())
        console.error(QStringLiteral("zelvan-cli: %1 on %2 interrupted: %3")
                          .arg(request.commandText, result.port, result.undone));
    else if (result.status != kDone)
        console.error(QStringLiteral("zelvan-cli: %1 on %2: %3").arg(request.commandText, result.port, result.error));
}

} // namespace

int runOnBoards(const RunSetup& setup, Console& console, SignalWatch& stopSignals) {
    const CliRequest& request = setup.request;
    const bool all = request.options.allPorts();
    if (!all && request.options.ports.size() <= 1) {
        BoardJob job(setup, console, request.options.ports.value(0), QString());
        QObject::connect(&stopSignals, &SignalWatch::stopRequested, &stopSignals,
                         [&job](int status) { job.interrupt(status); });
        const JobResult result = job.run();
        report(request, result, console, false);
        return result.status;
    }

    const QStringList ports = all ? comPortNames() : request.options.ports;
    console.setSeveralBoards();
    StartGate gate(static_cast<int>(ports.size()), request.options.boards);
    SerialTurns turns(static_cast<int>(ports.size()));
    QList<std::shared_ptr<BoardJob>> jobs;
    for (const QString& port : ports) {
        jobs.append(std::make_shared<BoardJob>(setup, console, port, port + QStringLiteral(": ")));
        jobs.last()->setOptional(all);
        jobs.last()->setStartGate(&gate);
        jobs.last()->setSerialTurn(&turns, static_cast<int>(jobs.size() - 1));
    }
    QObject::connect(&stopSignals, &SignalWatch::stopRequested, &stopSignals, [&jobs](int status) {
        for (const std::shared_ptr<BoardJob>& job : jobs)
            job->interrupt(status);
    });
    QList<JobResult> results(jobs.size());
    QList<std::function<void()>> tasks;
    for (qsizetype i = 0; i < jobs.size(); ++i)
        tasks.append([job = jobs[i], &results, i] { results[i] = job->run(); });
    runOnThreads(tasks);
    console.endBoardLines();
    if (!enoughBoards(gate, request, console))
        return kNoBoard;
    if (std::all_of(results.begin(), results.end(), [](const JobResult& result) { return result.absent; })) {
        console.error(
            QStringLiteral("zelvan-cli: %1 on COM1..COM8: no programmer board found").arg(request.commandText));
        return kNoBoard;
    }
    for (const JobResult& result : results) {
        if (!result.absent)
            report(request, result, console, true);
    }
    for (const QString& line : gangTable(results))
        console.result(line);
    return gangExitStatus(results);
}

bool enoughBoards(const StartGate& gate, const CliRequest& request, Console& console) {
    const QStringList found = gate.answering();
    if (found.size() >= request.options.boards)
        return true;
    console.error(QStringLiteral("zelvan-cli: %1: %2 board(s) answer (%3) where --boards %4 asks for %4; nothing was "
                                 "written")
                      .arg(request.commandText)
                      .arg(found.size())
                      .arg(found.isEmpty() ? QStringLiteral("none") : found.join(QStringLiteral(", ")))
                      .arg(request.options.boards));
    return false;
}

QStringList gangTable(const QList<JobResult>& results) {
    QStringList lines{QStringLiteral("port       part         result            time    CRCs verified  serial")};
    for (const JobResult& result : results) {
        if (result.absent)
            continue;
        const QString outcome = result.status == kDone           ? QStringLiteral("done")
                                : result.status == kVerifyFailed ? QStringLiteral("verify failed")
                                : !result.undone.isEmpty()       ? QStringLiteral("interrupted")
                                                                 : QStringLiteral("failed (%1)").arg(result.status);
        lines.append(QStringLiteral("%1 %2 %3 %4 s  %5  %6")
                         .arg(result.port.leftJustified(10))
                         .arg((result.part.isEmpty() ? QStringLiteral("-") : result.part).leftJustified(12))
                         .arg(outcome.leftJustified(17))
                         .arg(result.milliseconds / 1000.0, 6, 'f', 1)
                         .arg(QString::number(result.crcsVerified).leftJustified(13))
                         .arg(result.serialNumber ? QString::number(*result.serialNumber) : QStringLiteral("-")));
    }
    return lines;
}

int gangExitStatus(const QList<JobResult>& results) {
    // A signal's status wins over any board's failure, whichever port it is on.
    const auto interrupted =
        std::find_if(results.begin(), results.end(), [](const JobResult& result) { return !result.undone.isEmpty(); });
    if (interrupted != results.end())
        return interrupted->status;
    // No board named answered at all: as on one board, that is no board found.
    if (std::all_of(results.begin(), results.end(),
                    [](const JobResult& result) { return result.absent || result.status == kNoBoard; }))
        return kNoBoard;
    bool verifyFailures = false;
    for (const JobResult& result : results) {
        if (result.absent || result.status == kDone)
            continue;
        if (result.status != kVerifyFailed)
            return kNotDone;
        verifyFailures = true;
    }
    return verifyFailures ? kVerifyFailed : kDone;
}

} // namespace zelvan::cli
