#include "board_job.h"

#include "board_job_run.h"

#include "common/hex_text.h"
#include "link/port_names.h"
#include "programmer/outcome_report.h"
#include "programmer/port_messages.h"
#include "programmer/programmer_connection.h"

#include <QElapsedTimer>

namespace zelvan::cli {

namespace {

bool needsPart(CommandKind kind) {
    switch (kind) {
    case CommandKind::Info:
    case CommandKind::ErasePages:
    case CommandKind::EraseSectors:
    case CommandKind::CrcSectors:
    case CommandKind::Program:
    case CommandKind::SecurityGet:
    case CommandKind::SecuritySet:
    case CommandKind::Verify:
    case CommandKind::CrcCalibrate:
        return true;
    default:
        return false;
    }
}

} // namespace

BoardJob::BoardJob(const CliRequest& request, const ProductionSetup& production, Console& console, QString portName,
                   QString prefix)
    : request_(request)
    , production_(production)
    , console_(console)
    , portName_(std::move(portName))
    , prefix_(std::move(prefix)) {}

void BoardJob::interrupt(int status) {
    int none = 0;
    interruptedWith_.compare_exchange_strong(none, status);
    stop_.request();
    QMutexLocker lock(&linkMutex_);
    // The link lives on the job's thread: its wait is ended there, at its next look at events.
    if (link_)
        QMetaObject::invokeMethod(link_, &IspLink::abort, Qt::QueuedConnection);
}

JobResult BoardJob::run() {
    QElapsedTimer clock;
    clock.start();
    Run run(console_, prefix_, stop_);
    run.record.time = QDateTime::currentDateTimeUtc();
    run.link.setBaud9600(request_.options.baud9600);
    run.link.setTiming(linkTimingFromEnvironment());
    run.dialogs.grantConfirmations(request_.options.noProtect);
    {
        QMutexLocker lock(&linkMutex_);
        link_ = &run.link;
    }
    if (interruptedWith_.load() != 0)
        run.link.abort();

    int status = kNoBoard;
    if (connect(run))
        status = needsPart(request_.kind) && !identify(run) ? kNotDone : dispatch(run);
    else
        run.result.absent = optional_ && !run.link.response().fgBaudSync && interruptedWith_.load() == 0;
    run.result.status = status;

    {
        QMutexLocker lock(&linkMutex_);
        link_ = nullptr;
    }
    // A signal that came after the work was done does not undo it.
    if (const int interrupted = interruptedWith_.load(); interrupted != 0 && run.result.status != kDone) {
        run.result.status = interrupted;
        run.result.undone = undoneText(run);
        run.result.error.clear();
    }
    run.result.milliseconds = clock.elapsed();
    if (!run.result.absent)
        writeRecord(run);
    return run.result;
}

bool BoardJob::connect(Run& run) {
    JobResult& result = run.result;
    const auto synchronise = [&run]() -> bool {
        if (!NegotiateBaudrate(run.ctx))
            return false;
        const std::optional<QString> version = GetLoaderVersion(run.ctx);
        if (version)
            run.version = versionWithoutEcho(*version);
        return version.has_value();
    };

    if (portName_.isEmpty()) {
        // The search of Auto Connect: the first COM whose board answers the synchronisation and
        // the version request.
        QStringList unopenable;
        for (int port = 1; port <= kPortCount && !run.link.aborted(); ++port) {
            run.link.OpenComPort(port);
            if (!run.link.fgPortOpened()) {
                if (isWorthReporting(run.link.lastOpenFailure()))
                    unopenable.append(portFailureLine(run.link.lastOpenFailure()));
                continue;
            }
            if (synchronise()) {
                result.port = run.link.portLabel();
                result.device = run.link.deviceName();
                console_.note(QStringLiteral("found the programmer on %1 (%2)").arg(result.port, result.device));
                return true;
            }
        }
        result.port = QStringLiteral("COM1..COM8");
        result.error = QStringLiteral("no programmer board found");
        if (!unopenable.isEmpty())
            result.error +=
                QStringLiteral("; these ports could not be opened: ") + unopenable.join(QStringLiteral("; "));
        return false;
    }

    if (const int com = comNumberOf(portName_))
        run.link.OpenComPort(com);
    else
        run.link.openDevice(portName_);
    result.port = run.link.portLabel();
    result.device = run.link.lastOpenFailure().device;
    if (!run.link.fgPortOpened()) {
        const PortOpenFailure& failure = run.link.lastOpenFailure();
        result.error = QStringLiteral("the port cannot be opened: ") + portFailureLine(failure);
        // "-p all" leaves such a port out, but a board may be behind it: say why it was not tried.
        if (optional_ && isWorthReporting(failure))
            console_.note(
                QStringLiteral("note: %1 could not be opened: %2").arg(result.port, portFailureLine(failure)));
        return false;
    }
    result.device = run.link.deviceName();
    if (!synchronise()) {
        result.error = run.link.response().fgBaudSync
                           ? QStringLiteral("the board does not answer the loader version request")
                           : QStringLiteral("no programmer board answers (no \"U\" came back to the synchronisation)");
        return false;
    }
    return true;
}

bool BoardJob::identify(Run& run) {
    run.ids = readIdBytes(run.ctx);
    if (!run.ids) {
        run.result.error =
            QStringLiteral("the target's identification could not be read (%1)").arg(run.feedback.status());
        return false;
    }
    if (run.ids->allFF()) {
        run.result.error = QStringLiteral("no target answers behind the board (its ids read FF FF FF): is it "
                                          "connected and powered?");
        return false;
    }
    run.part = geometryForId(run.ids->deviceId2, std::nullopt);
    const CatalogueEntry* entry = findPartById(run.ids->deviceId2);
    run.result.part = entry ? entry->partName() : QStringLiteral("unknown");
    run.result.fields[QStringLiteral("part")] = run.result.part;
    run.result.fields[QStringLiteral("ids")] =
        QStringLiteral("%1 %2 %3").arg(run.ids->manufacturer, run.ids->deviceId1, run.ids->deviceId2);
    if (!entry)
        console_.note(prefix_ + QStringLiteral("note: device id %1 is not in the catalogue; taking 16 KB of flash, "
                                               "1 KB sectors and 16-byte pages")
                                    .arg(run.ids->deviceId2));
    return true;
}

int BoardJob::dispatch(Run& run) {
    run.result.fields[QStringLiteral("loaderVersion")] = run.version;
    switch (request_.kind) {
    case CommandKind::Info:
        return info(run);
    case CommandKind::Icp:
    case CommandKind::Off:
        return boardLetter(run);
    case CommandKind::EraseChip:
        return eraseChipCommand(run);
    case CommandKind::ErasePages:
    case CommandKind::EraseSectors:
        return eraseRangeCommand(run);
    case CommandKind::CrcGlobal:
        return crcGlobal(run);
    case CommandKind::CrcSectors:
        return crcSectors(run);
    case CommandKind::Program:
        return program(run);
    case CommandKind::ConfigGet:
        return configGet(run);
    case CommandKind::ConfigSet:
        return configSet(run);
    case CommandKind::SecurityGet:
        return securityGet(run);
    case CommandKind::SecuritySet:
        return securitySet(run);
    case CommandKind::Ccp:
        return clearProtection(run);
    case CommandKind::Run:
        return automation(run);
    case CommandKind::Verify:
        return verifyCommand(run);
    case CommandKind::CrcCalibrate:
        return calibrate(run);
    case CommandKind::Ports:
        break;
    }
    return kUsage;
}

int BoardJob::fail(Run& run, int status, const QString& reason) {
    const QString said = run.dialogs.lastMessage();
    run.result.error = said.isEmpty() || reason.contains(said) ? reason : reason + QStringLiteral(" (") + said + ')';
    return status;
}

int BoardJob::failPlainly(Run& run, int status, const QString& reason) {
    run.result.error = reason;
    return status;
}

QString BoardJob::undoneText(const Run& run) const {
    const ProgressReport& progress = run.progress;
    if (progress.total() > 0 && progress.done() < progress.total()) {
        QString text = QStringLiteral("%1 stopped after %2 of %3 %4")
                           .arg(progress.task())
                           .arg(progress.done())
                           .arg(progress.total())
                           .arg(progress.unit());
        if (request_.kind == CommandKind::Program)
            text += QStringLiteral("; the rest of the image and the configuration bytes were not written");
        return text;
    }
    return QStringLiteral("%1 was not completed").arg(request_.commandText);
}

} // namespace zelvan::cli
