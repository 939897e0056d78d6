#include "board_job.h"

#include "job_report.h"
#include "progress_report.h"

#include "board/automation.h"
#include "board/chip_record_of.h"
#include "board/part_fit.h"
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
    CliAutomationFace(BoardJob::Run& run, const RunSetup& setup, std::function<int()> identify, JobOutput& output)
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
        if (identify_() == kDone)
            return true;
        faultText = run_.result.error;
        return false;
    }
    void stepEnded(Command command, const CommandResult& result) override { describeStep(command, result, output_); }

private:
    BoardJob::Run& run_;
    const RunSetup& setup_;
    std::function<int()> identify_;
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
    board_->stopFromAnotherThread();
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

    const bool connected = connect(run);
    if (!connected && turns_)
        turns_->finish(turn_);
    if (gate_ && !gate_->arrive(connected ? run.result.port : QString())) {
        run.result.absent = !connected;
        run.result.status = kNoBoard;
        if (turns_)
            turns_->finish(turn_);
        QMutexLocker lock(&boardMutex_);
        board_ = nullptr; // the board ends with this call: a later signal must not reach it
        return run.result;
    }
    run.result.status = connected ? runCommand(run) : kNoBoard;

    {
        QMutexLocker lock(&boardMutex_);
        board_ = nullptr;
    }
    if (turns_)
        turns_->finish(turn_);
    // A signal that came after the work was done does not undo it.
    if (const int interrupted = interruptedWith_.load(); interrupted != 0 && run.result.status != kDone) {
        run.result.status = interrupted;
        run.result.undone = undoneText(run);
        run.result.error.clear();
    }
    run.result.milliseconds = clock.elapsed();
    if (!run.result.absent) {
        storeRecord(setup_, console_, run.record, run.result);
        if (console_.drawsBoardLines())
            console_.boardLine(prefix_,
                               prefix_ + (run.result.status == kDone ? QStringLiteral("done")
                                                                     : QStringLiteral("failed: ") + run.result.error));
    }
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

int BoardJob::identify(Run& run) {
    const Identification identified = run.board.identify(run.progress);
    if (!identified.part) {
        run.result.error = identified.reason;
        return kNotDone;
    }
    const Part& part = *identified.part;
    if (!part.ids.allFF()) {
        run.result.part = part.name();
        run.result.fields[QStringLiteral("part")] = part.name();
        run.result.fields[QStringLiteral("ids")] = part.ids.text();
    }
    PartFit fit = fitToPart(part, setup_.request.command, setup_.hex, setup_.request.options.truncate, run.progress);
    run.image = std::move(fit.image);
    run.result.error = fit.reason;
    return statusOf(fit.ending);
}

int BoardJob::runCommand(Run& run) {
    const CliRequest& request = setup_.request;
    const CommandRow& row = commandRow(request.command);
    JobOutput output(console_, prefix_);
    output.variantName = setup_.variant ? setup_.variant->name : QString();
    // The part is identified first where the command works on it or needs its layout.
    if (row.needsPart || row.needsLayout || request.command == Command::GetID) {
        if (const int status = identify(run); status != kDone)
            return status;
    }
    std::optional<SerialNumbering> serial = setup_.serial;
    if (serial && turns_)
        serial->source = inTurn(serial->source, *turns_, turn_);
    CommandRequest command = commandRequest(setup_, run.image ? &*run.image : nullptr, serial ? &*serial : nullptr);
    CliAutomationFace face(
        run, setup_, [this, &run] { return identify(run); }, output);
    command.automation = &face;
    // A run starts protected, whatever the options: only its own "noprotect" line unprotects it.
    run.board.setProtect(request.command == Command::AutoProcedure || !request.options.noProtect);

    // "crc sectors --save" keeps the golden CRCs instead of printing a range.
    const Command ran =
        request.command == Command::GetSectorCRC && !command.path.isEmpty() ? Command::SaveGolden : request.command;
    CommandCall call{run.board, run.progress, run.questions, command};
    const CommandResult result =
        request.command == Command::GetID ? CommandResult(Identification{}) : zelvan::runCommand(ran, call);
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
    // An automation run says which line it stopped in.
    if (setup_.request.command == Command::AutoProcedure && !run.result.error.isEmpty())
        return run.result.error;
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

CommandRequest commandRequest(const RunSetup& setup, const FirmwareCache* image, const SerialNumbering* serial) {
    const CliRequest& request = setup.request;
    CommandRequest command;
    command.units = request.range;
    command.configByte = request.configByte;
    command.sector = request.sector;
    command.value = request.value;
    command.path = request.options.saveGolden;
    command.program.image = image;
    command.program.quick = request.options.quick;
    command.program.erase = request.options.erase;
    command.program.changedOnly = request.options.changedOnly;
    if (request.options.verify || request.options.changedOnly || request.command == Command::VerifyFirmware)
        command.program.verify =
            setup.golden ? VerifyChoice{VerifyChoice::Kind::Golden, setup.variant, &*setup.golden, setup.variantKnown}
                         : VerifyChoice{VerifyChoice::Kind::Image, setup.variant, nullptr, setup.variantKnown};
    command.program.serial = serial;
    command.script = setup.script ? &*setup.script : nullptr;
    return command;
}

void storeRecord(const RunSetup& setup, Console& console, ChipRecord record, const JobResult& result) {
    if (setup.records.empty())
        return;
    record.host = QSysInfo::machineHostName();
    record.port = result.port;
    record.device = result.device;
    record.command = setup.request.commandText;
    for (const QString& file : setup.hex.paths)
        record.files.append(recordedFile(file));
    record.exitStatus = result.status;
    record.error = result.undone.isEmpty() ? result.error : QStringLiteral("interrupted: ") + result.undone;
    record.durationMs = result.milliseconds;
    record.serialVoid = record.serialNumber.has_value() && result.status != kDone;
    for (const std::unique_ptr<RecordSink>& sink : setup.records) {
        QString error;
        if (!sink->write(record, &error))
            console.error(QStringLiteral("zelvan-cli: %1: the record of this chip could not be stored where it "
                                         "belongs (%2); it is kept and sent with the next one")
                              .arg(result.port, error));
    }
}

} // namespace zelvan::cli
