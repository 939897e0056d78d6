// zelvan-cli: the commands of Zelvan Programmer from a shell or a script, with an exit status a
// production line can act on. No window: Qt Core only.

#include "arguments.h"
#include "console.h"
#include "exit_status.h"
#include "gang_run.h"
#include "port_listing.h"
#include "records_command.h"
#include "run_setup.h"
#include "signal_watch.h"
#include "station_run.h"

#include "common/version.h"
#include "device/device_catalogue.h"
#include "link/wire_log.h"

#ifdef ZELVAN_HAVE_SIMULATOR
#include "sim/demo_board.h"
#endif

#include <QCoreApplication>

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
    if (!routeWireLog(request.options.verbosity > 0, request.options.wireLog, request.options.verbosity > 1, &error))
        return refuse(error);

#ifdef ZELVAN_HAVE_SIMULATOR
    std::unique_ptr<sim::PtyBoardServer> simulator;
    if (request.options.simulatorPart) {
        const CatalogueEntry& part = *findPartByName(*request.options.simulatorPart);
        simulator = sim::startDemoBoard(
            part, sim::DemoBoardOptions{sim::defaultDemoStatePath(part), request.options.simulatorReset}, &error);
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
    if (request.command == Command::Records || request.command == Command::RecordsFlush)
        return runRecordsCommand(*setup, console);
    SignalWatch stopSignals;
    if (request.station)
        return runStation(*setup, console, stopSignals);
    return runOnBoards(*setup, console, stopSignals);
}
