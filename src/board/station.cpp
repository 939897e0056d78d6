#include "station.h"

#include "part_fit.h"

#include "common/questions.h"

#include <QElapsedTimer>

namespace zelvan {

namespace {

// Looks at the socket until it holds a chip (or, forRemoval, until it is empty). Nothing when
// the station is to end: the user stopped it, or the board stopped answering.
std::optional<Result> waitForSocket(Board& board, bool forRemoval) {
    Progress silent; // the looks are not what the user follows
    for (;;) {
        if (board.stop().requested() || board.link().aborted())
            return Result{Ending::Interrupted, QStringLiteral("stopped")};
        const Identification looked = board.identify(silent);
        if (!looked.part)
            return Result{Ending::Unanswered, QStringLiteral("the board stopped answering (%1)").arg(looked.reason)};
        if (looked.nothingBehindBoard() == forRemoval)
            return std::nullopt;
        board.link().processEventsFor(kStationPoll, [&board] { return board.stop().requested(); });
    }
}

} // namespace

Result runStation(Board& board, Progress& progress, StationFace& face, const StationWork& work) {
    static const HexFiles kNoFiles;
    NoQuestions questions;
    for (int number = 1;; ++number) {
        face.waiting(false);
        if (const std::optional<Result> end = waitForSocket(board, false))
            return *end;
        face.chipStarted(number);
        QElapsedTimer clock;
        clock.start();
        StationChip chip{number, board.part(), false, QString(), std::nullopt, 0};
        std::optional<CommandResult> result;
        PartFit fit; // the request the face makes points into it until the chip has ended
        if (work.wantedPart && board.part()->name().compare(*work.wantedPart, Qt::CaseInsensitive) != 0) {
            chip.reason = QStringLiteral("an %1, not the %2 this station programs: nothing was written")
                              .arg(board.part()->name(), *work.wantedPart);
        } else if (fit = fitToPart(*board.part(), work.command, work.files ? *work.files : kNoFiles, work.truncate,
                                   progress);
                   !fit.done()) {
            chip.reason = fit.reason;
        } else {
            const CommandRequest request = face.requestFor(fit.image ? &*fit.image : nullptr);
            CommandCall call{board, progress, questions, request};
            result = runCommand(work.command, call);
            chip.passed = result->done();
            chip.reason = result->base().reason;
            if (const auto* programmed = result->as<ChipProgramming>())
                chip.serialNumber = programmed->serialNumber;
        }
        chip.milliseconds = clock.elapsed();
        face.chipEnded(chip, result);
        face.waiting(true);
        if (const std::optional<Result> end = waitForSocket(board, true))
            return *end;
    }
}

} // namespace zelvan
