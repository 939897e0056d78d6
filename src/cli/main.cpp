// zelvan-cli: the commands of Zelvan Programmer from a shell or a script, with an exit status a
// production line can act on. No window: Qt Core only.

#include "arguments.h"
#include "board_job.h"
#include "console.h"
#include "exit_status.h"
#include "gang_run.h"
#include "port_listing.h"
#include "run_setup.h"
#include "signal_watch.h"
#include "wire_log_output.h"

#include "common/version.h"
#include "device/device_catalogue.h"
#include "link/port_names.h"

#ifdef ZELVAN_HAVE_SIMULATOR
#include "sim/demo_board.h"
#endif

#include <QCoreApplication>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace zelvan;
using namespace zelvan::cli;

namespace {

bool stderrIsTerminal() {
#ifdef Q_OS_UNIX
    return ::isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}

int refuse(const QString& message) {
    std::fprintf(stderr, "zelvan-cli: %s\n", qPrintable(message));
    return kUsage;
}

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
void report(const CliRequest& request, const JobResult& result, Console& console) {
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
    if (!result.undone.isEmpty())
        console.error(QStringLiteral("zelvan-cli: %1 on %2 interrupted: %3")
                          .arg(request.commandText, result.port, result.undone));
    else if (result.status != kDone)
        console.error(QStringLiteral("zelvan-cli: %1 on %2: %3").arg(request.commandText, result.port, result.error));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvan-cli"));
    QCoreApplication::setApplicationVersion(kAppVersion);

    const ParsedCommandLine parsed = parseCommandLine(app.arguments().mid(1));
    if (!parsed.request)
        return refuse(parsed.error);
    const CliRequest& request = *parsed.request;
    if (request.action == CliRequest::Action::Help) {
        std::fputs(qPrintable(helpText()), stdout);
        return kDone;
    }
    if (request.action == CliRequest::Action::Version) {
        std::printf("zelvan-cli %s\n", qPrintable(kAppVersion));
        return kDone;
    }
    QString error;
    const std::unique_ptr<RunSetup> setup = prepareRun(request, &error);
    if (!setup)
        return refuse(request.commandText + QStringLiteral(": ") + error);
    if (!startWireLog(request.options.verbosity > 0, request.options.wireLog, &error))
        return refuse(error);

#ifdef ZELVAN_HAVE_SIMULATOR
    std::unique_ptr<sim::PtyBoardServer> simulator;
    if (request.options.simulatorPart) {
        simulator = sim::startDemoBoard(*findPartByName(*request.options.simulatorPart), &error);
        if (!simulator) {
            std::fprintf(stderr, "zelvan-cli: the simulated board could not start: %s\n", qPrintable(error));
            return kNoBoard;
        }
    }
#else
    if (request.options.simulatorPart)
        return refuse(QStringLiteral("the simulated board needs pseudo-terminals, which this system lacks"));
#endif

    Console console(request.options.quiet, request.options.json, stderrIsTerminal());
    if (request.command == Command::Ports)
        return listPorts(*setup, console);

    SignalWatch stopSignals;
    const bool all = request.options.allPorts();
    if (all || request.options.ports.size() > 1) {
        QStringList ports = request.options.ports;
        if (all) {
            ports.clear();
            for (int port = 1; port <= kPortCount; ++port)
                ports.append(QStringLiteral("COM%1").arg(port));
        }
        // One job a device: the same device named twice would fight over its port.
        QStringList devices;
        for (const QString& port : ports) {
            const QString device = deviceOfPortName(port);
            if (!all && !device.isEmpty() && devices.contains(device))
                return refuse(QStringLiteral("%1 names the device %2 a second time").arg(port, device));
            devices.append(device);
        }
        console.setSeveralBoards();
        GangRun gang(*setup, console, ports, all);
        QObject::connect(&stopSignals, &SignalWatch::stopRequested, &stopSignals,
                         [&gang](int status) { gang.interrupt(status); });
        const QList<JobResult> results = gang.run();
        const bool anyBoard = std::any_of(results.begin(), results.end(), [](const JobResult& r) { return !r.absent; });
        if (!anyBoard) {
            console.error(
                QStringLiteral("zelvan-cli: %1 on COM1..COM8: no programmer board found").arg(request.commandText));
            return kNoBoard;
        }
        for (const JobResult& result : results) {
            if (!result.absent)
                report(request, result, console);
        }
        for (const QString& line : gangTable(results))
            console.result(line);
        return gangExitStatus(results);
    }

    BoardJob job(*setup, console, request.options.ports.value(0), QString());
    QObject::connect(&stopSignals, &SignalWatch::stopRequested, &stopSignals,
                     [&job](int status) { job.interrupt(status); });
    const JobResult result = job.run();
    report(request, result, console);
    return result.status;
}
