#include "board_job.h"

#include "job_report.h"
#include "progress_report.h"

#include "board/automation.h"
#include "board/chip_record_of.h"
#include "board/port_messages.h"
#include "common/hex_text.h"
#include "link/port_names.h"

#include <QElapsedTimer>
#include <QSysInfo>

namespace zelvan::cli {

// The state of one run of a board job: the board it owns, its report and what it learnt.
struct BoardJob::Run {
    Run(Console& console, const QString& prefix, bool confirmations)
        : progress(console, prefix)
        , questions(confirmations) {}

    Board board;
    ProgressReport progress;
    NoQuestions questions;
    JobResult result;
    ChipRecord record;
    std::optional<FirmwareCache> image; // the HEX files laid out for the part
};

namespace {

// What an automation file drives on the command line: the whole part where the window would take
// its lists, the --hex files as the firmware, and the part identified when a keyword first needs
// it (so that a file may switch the target on first).
class CliAutomationFace : public AutomationFace {
public:
    CliAutomationFace(BoardJob::Run& run, const RunSetup& setup, std::function<bool()> identify, JobOutput& output)
        : run_(run)
        , setup_(setup)
        , identify_(std::move(identify))
        , output_(output) {}

    CommandRequest requestFor(Command) override {
        CommandRequest request;
        request.units = UnitChoice{};
        request.program.image = run_.image ? &*run_.image : nullptr;
        request.program.quick = setup_.request.options.quick;
        return request;
    }
    bool ensurePart(QString& faultText) override {
        if (run_.board.part())
            return true;
        if (identify_())
            return true;
        faultText = run_.result.error;
        return false;
    }
    void stepEnded(Command command, const CommandResult& result) override {
        describeStep(command, result, output_);
    }

private:
    BoardJob::Run& run_;
    const RunSetup& setup_;
    std::function<bool()> identify_;
    JobOutput& output_;
};

} // namespace

BoardJob::BoardJob(const RunSetup& setup, Console& console, QString portName, QString prefix)
    : setup_(setup)
    , console_(console)
    , portName_(std::move(portName))
    , prefix_(std::move(prefix)) {}

void BoardJob::interrupt(int status) {
    int none = 0;
    interruptedWith_.compare_exchange_strong(none, status);
    QMutexLocker lock(&boardMutex_);
    if (!board_)
        return;
    board_->requestStop();
    // The link lives on the job's thread: its wait is ended there, at its next look at events.
    QMetaObject::invokeMethod(&board_->link(), &IspLink::abort, Qt::QueuedConnection);
}

JobResult BoardJob::run() {
    QElapsedTimer clock;
    clock.start();
    const CliOptions& options = setup_.request.options;
    Run run(console_, prefix_, options.noProtect);
    run.record.time = QDateTime::currentDateTimeUtc();
    run.board.link().setBaud9600(options.baud9600);
    run.board.link().setTiming(setup_.timing);
    {
        QMutexLocker lock(&boardMutex_);
        board_ = &run.board;
    }
    if (interruptedWith_.load() != 0)
        run.board.link().abort();

    run.result.status = connect(run) ? runCommand(run) : kNoBoard;

    {
        QMutexLocker lock(&boardMutex_);
        board_ = nullptr;
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
    const Connection connection =
        portName_.isEmpty() ? run.board.search(run.progress) : run.board.connect(portName_, run.progress);
    result.port = portName_.isEmpty() ? (connection.port > 0 ? QStringLiteral("COM%1").arg(connection.port)
                                                             : QStringLiteral("COM1..COM8"))
                                      : run.board.link().portLabel();
    result.device = run.board.link().deviceName();
    if (connection.done()) {
        if (portName_.isEmpty())
            console_.note(QStringLiteral("found the programmer on %1 (%2)").arg(result.port, result.device));
        result.fields[QStringLiteral("loader_version")] = run.board.version();
        run.record.loaderVersion = run.board.version();
        return true;
    }
    result.error = connection.reason;
    if (portName_.isEmpty() && !connection.unopenable.isEmpty()) {
        QStringList lines;
        for (const PortOpenFailure& failure : connection.unopenable)
            lines.append(portFailureLine(failure));
        result.error += QStringLiteral("; these ports could not be opened: ") + lines.join(QStringLiteral("; "));
    }
    if (optional_) {
        // "-p all" leaves a port without a board out, but a board may be behind a port that could
        // not be opened: say why it was not tried.
        result.absent = !connection.synchronised && interruptedWith_.load() == 0;
        if (!connection.unopenable.isEmpty() && isWorthReporting(connection.unopenable.constFirst()))
            console_.note(QStringLiteral("note: %1 could not be opened: %2")
                              .arg(result.port, portFailureLine(connection.unopenable.constFirst())));
    }
    return false;
}

bool BoardJob::identify(Run& run) {
    const Identification identified = run.board.identify(run.progress);
    if (!identified.part) {
        run.result.error = identified.reason;
        return false;
    }
    const Part& part = *identified.part;
    if (part.ids.allFF()) {
        run.result.error = QStringLiteral("no target answers behind the board (its ids read FF FF FF): is it "
                                          "connected and powered?");
        return false;
    }
    run.result.part = part.name();
    run.result.fields[QStringLiteral("part")] = part.name();
    run.result.fields[QStringLiteral("ids")] = part.ids.text();
    if (!part.entry)
        console_.note(prefix_ + QStringLiteral("note: device id %1 is not in the catalogue; taking 16 KB of flash, "
                                               "1 KB sectors and 16-byte pages")
                                    .arg(part.ids.deviceId2));
    if (!setup_.hex.paths.isEmpty())
        run.image = FirmwareCache::layOut(setup_.hex.image, part.geometry.intFlashLastAddr);
    return true;
}

int BoardJob::runCommand(Run& run) {
    const CliRequest& request = setup_.request;
    const CommandRow& row = commandRow(request.command);
    JobOutput output(console_, prefix_);
    output.variantName = setup_.variant ? setup_.variant->name : QString();
    if (row.needsPart || request.command == Command::GetID) {
        if (!identify(run))
            return kNotDone;
    }
    CommandRequest command;
    command.units = request.range;
    command.configByte = request.configByte;
    command.sector = request.sector;
    command.value = request.value;
    command.path = request.options.saveGolden;
    command.program.image = run.image ? &*run.image : nullptr;
    command.program.quick = request.options.quick;
    command.program.erase = request.options.erase;
    if (request.options.verify || request.command == Command::VerifyFirmware)
        command.program.verify = setup_.golden ? VerifyChoice{VerifyChoice::Kind::Golden, nullptr, &*setup_.golden}
                                               : VerifyChoice{VerifyChoice::Kind::Image, setup_.variant, nullptr};
    command.program.serial = setup_.serial ? &*setup_.serial : nullptr;
    CliAutomationFace face(run, setup_, [this, &run] { return identify(run); }, output);
    command.script = setup_.script ? &*setup_.script : nullptr;
    command.automation = &face;
    // A run starts protected, whatever the options: only its own "noprotect" line unprotects it.
    run.board.setProtect(request.command == Command::AutoProcedure || !request.options.noProtect);

    // "crc sectors --save" keeps the golden CRCs instead of printing a range.
    const Command ran = request.command == Command::GetSectorCRC && !command.path.isEmpty() ? Command::SaveGolden
                                                                                              : request.command;
    CommandCall call{run.board, run.progress, run.questions, command};
    const CommandResult result = request.command == Command::GetID ? CommandResult(Identification{})
                                                                    : zelvan::runCommand(ran, call);
    const int status = describe(ran, request, run.board, result, output);
    run.result.fields = output.fields.isEmpty() ? run.result.fields : [&] {
        QJsonObject fields = run.result.fields;
        for (auto it = output.fields.begin(); it != output.fields.end(); ++it)
            fields[it.key()] = it.value();
        return fields;
    }();
    run.result.error = output.error;
    run.result.crcsVerified = output.crcsVerified;
    const QDateTime started = run.record.time;
    run.record = chipRecordOf(run.board, ran, command, result);
    run.record.time = started;
    run.result.serialNumber = run.record.serialNumber;
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
        if (setup_.request.command == Command::ProgramFirmware)
            text += QStringLiteral("; the rest of the image and the configuration bytes were not written");
        return text;
    }
    return QStringLiteral("%1 was not completed").arg(setup_.request.commandText);
}

void BoardJob::writeRecord(Run& run) {
    if (setup_.records.empty())
        return;
    ChipRecord& record = run.record;
    record.host = QSysInfo::machineHostName();
    record.port = run.result.port;
    record.device = run.result.device;
    record.command = setup_.request.commandText;
    for (const QString& file : setup_.hex.paths)
        record.files.append(recordedFile(file));
    record.exitStatus = run.result.status;
    record.error = run.result.undone.isEmpty() ? run.result.error : QStringLiteral("interrupted: ") + run.result.undone;
    record.durationMs = run.result.milliseconds;
    record.serialVoid = record.serialNumber.has_value() && run.result.status != kDone;
    for (const std::unique_ptr<RecordSink>& sink : setup_.records) {
        QString error;
        if (!sink->write(record, &error))
            console_.error(QStringLiteral("zelvan-cli: %1: the record of this chip could not be stored where it "
                                          "belongs (%2); it is kept and sent with the next one")
                               .arg(run.result.port, error));
    }
}

} // namespace zelvan::cli
