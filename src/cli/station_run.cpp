#include "station_run.h"

#include "board_job.h"
#include "gang_run.h"
#include "job_report.h"
#include "progress_report.h"

#include "board/board_group.h"
#include "board/chip_record_of.h"
#include "board/station.h"
#include "link/port_names.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMutex>

#include <algorithm>
#include <atomic>
#include <memory>

namespace zelvan::cli {

namespace {

// One board of the station: its loop on a thread of its own, and its counts.
class StationBoard : public StationFace {
public:
    // optional: one of every COM, where a port without a board is no error.
    StationBoard(const RunSetup& setup, Console& console, QString port, StartGate& gate, bool optional)
        : setup_(setup)
        , console_(console)
        , port_(std::move(port))
        , gate_(gate)
        , optional_(optional)
        , progress_(console, port_ + QStringLiteral(": ")) {
        progress_.setBoardLineTail([this] { return counts(); });
    }

    // On the board's own thread: its link lives there.
    void run() {
        Board board;
        board.link().setBaud9600(setup_.request.options.baud9600);
        board.link().setTiming(setup_.timing);
        {
            QMutexLocker lock(&boardMutex_);
            board_ = &board;
            if (stopped_)
                board.link().abort();
        }
        const Connection connection = board.connect(port_, progress_);
        connected_ = connection.done();
        // "-p all" leaves out a port without a board; a port named on its own is an error.
        if (!connected_ && !optional_ && !stopped_)
            console_.error(QStringLiteral("zelvan-cli: station on %1: %2").arg(port_, connection.reason));
        // The loops start together, and only when --boards boards answered.
        if (!gate_.arrive(connected_ ? port_ : QString())) {
            QMutexLocker lock(&boardMutex_);
            board_ = nullptr;
            return;
        }
        const StationWork work{setup_.request.command, &setup_.hex, setup_.request.options.truncate,
                               setup_.request.options.part.isEmpty() ? std::nullopt
                                                                     : std::optional(setup_.request.options.part)};
        const Result ended =
            !connected_ ? static_cast<const Result&>(connection) : zelvan::runStation(board, progress_, *this, work);
        lost_ = ended.ending != Ending::Interrupted;
        if (lost_)
            show(QStringLiteral("lost: %1").arg(ended.reason));
        // Without the live lines the reason would go unsaid (the refused connection is said above).
        if (lost_ && connected_ && !console_.drawsBoardLines())
            console_.error(QStringLiteral("zelvan-cli: station on %1: lost: %2").arg(port_, ended.reason));
        QMutexLocker lock(&boardMutex_);
        board_ = nullptr;
    }

    // From the main thread: ends the wait in progress at once.
    void stop() {
        QMutexLocker lock(&boardMutex_);
        stopped_ = true;
        if (!board_)
            return;
        board_->stopFromAnotherThread();
    }

    CommandRequest requestFor(const FirmwareCache* image) override {
        request_ = commandRequest(setup_, image, setup_.serial ? &*setup_.serial : nullptr);
        return request_;
    }
    void waiting(bool forRemoval) override {
        show(forRemoval ? QStringLiteral("take the chip out") : QStringLiteral("waiting for a chip"));
    }
    void chipStarted(int) override { show(QStringLiteral("programming")); }
    void chipEnded(const StationChip& chip, const std::optional<CommandResult>& result) override {
        (chip.passed ? passed_ : failed_) += 1;
        lastSerial_ = chip.serialNumber;
        lastSeconds_ = chip.milliseconds / 1000.0;
        JobResult job;
        job.port = port_;
        job.device = board_->link().deviceName();
        job.status = chip.passed ? kDone : result ? statusOf(result->ending()) : kNotDone;
        job.error = chip.reason;
        job.milliseconds = chip.milliseconds;
        storeRecord(setup_, console_,
                    chipRecordOf(*board_, setup_.request.command, request_,
                                 result ? *result : CommandResult(Result{Ending::NotDone, chip.reason})),
                    job);
        const QString verdict = chip.passed ? QStringLiteral("PASS") : QStringLiteral("FAIL: ") + chip.reason;
        show(verdict);
        console_.json(
            QJsonObject{{QStringLiteral("port"), port_},
                        {QStringLiteral("chip"), chip.number},
                        {QStringLiteral("part"), chip.part ? chip.part->name() : QString()},
                        {QStringLiteral("result"), chip.passed ? QStringLiteral("pass") : QStringLiteral("fail")},
                        {QStringLiteral("error"), chip.reason},
                        {QStringLiteral("serial_number"),
                         chip.serialNumber ? QJsonValue(qint64(*chip.serialNumber)) : QJsonValue()},
                        {QStringLiteral("milliseconds"), chip.milliseconds}});
        if (!console_.drawsBoardLines())
            console_.result(
                QStringLiteral("%1: chip %2 %3%4, %5 s")
                    .arg(port_)
                    .arg(chip.number)
                    .arg(verdict)
                    .arg(chip.serialNumber ? QStringLiteral(", serial number %1").arg(*chip.serialNumber) : QString())
                    .arg(lastSeconds_, 0, 'f', 1));
    }

    QString totals() const {
        return QStringLiteral("%1: %2 passed, %3 failed%4")
            .arg(port_)
            .arg(passed_)
            .arg(failed_)
            .arg(lost_ ? ", lost" : "");
    }
    // The board answered the connection, and so took part in the station.
    bool tookPart() const { return connected_; }

private:
    QString counts() const {
        return QStringLiteral("  passed %1  failed %2  last serial %3  last %4 s")
            .arg(passed_)
            .arg(failed_)
            .arg(lastSerial_ ? QString::number(*lastSerial_) : QStringLiteral("-"))
            .arg(lastSeconds_, 0, 'f', 1);
    }
    void show(const QString& state) {
        if (console_.drawsBoardLines())
            console_.boardLine(port_ + QStringLiteral(": "),
                               QStringLiteral("%1: %2").arg(port_, state.leftJustified(24)) + counts());
    }

    const RunSetup& setup_;
    Console& console_;
    QString port_;
    StartGate& gate_;
    bool optional_;
    ProgressReport progress_;
    QMutex boardMutex_;
    Board* board_ = nullptr;
    std::atomic<bool> stopped_{false};
    std::atomic<bool> connected_{false};
    CommandRequest request_;
    int passed_ = 0;
    int failed_ = 0;
    std::optional<quint64> lastSerial_;
    double lastSeconds_ = 0;
    bool lost_ = false;
};

} // namespace

int runStation(const RunSetup& setup, Console& console, SignalWatch& stopSignals) {
    const CliOptions& options = setup.request.options;
    // No port named is every COM, as "-p all": a port without a board takes no part.
    const bool all = options.ports.isEmpty() || options.allPorts();
    const QStringList ports = all ? comPortNames() : options.ports;
    console.setSeveralBoards();
    StartGate gate(static_cast<int>(ports.size()), options.boards);
    std::vector<std::unique_ptr<StationBoard>> boards;
    for (const QString& port : ports)
        boards.push_back(std::make_unique<StationBoard>(setup, console, port, gate, all));
    int signalStatus = 0;
    QObject::connect(&stopSignals, &SignalWatch::stopRequested, &stopSignals, [&](int status) {
        signalStatus = status;
        for (const std::unique_ptr<StationBoard>& board : boards)
            board->stop();
    });
    QList<std::function<void()>> tasks;
    for (const std::unique_ptr<StationBoard>& board : boards)
        tasks.append([station = board.get()] { station->run(); });
    runOnThreads(tasks);
    console.endBoardLines();
    if (!enoughBoards(gate, setup.request, console))
        return kNoBoard;
    const bool anyBoard = std::any_of(boards.begin(), boards.end(),
                                      [](const std::unique_ptr<StationBoard>& board) { return board->tookPart(); });
    if (!anyBoard && signalStatus == 0) {
        if (all)
            console.error(QStringLiteral("zelvan-cli: station on COM1..COM8: no programmer board found"));
        return kNoBoard;
    }
    for (const std::unique_ptr<StationBoard>& board : boards) {
        // "-p all" names every COM: a port without a board took no part.
        if (board->tookPart() || !all)
            console.essential(board->totals());
    }
    return signalStatus != 0 ? signalStatus : kNotDone;
}

} // namespace zelvan::cli
