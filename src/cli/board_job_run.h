#pragma once

#include "board_job.h"

#include "link/isp_link.h"

namespace zelvan::cli {

// The state of one run of a board job: the link it owns, its report and what it learnt.
struct BoardJob::Run {
    Run(Console& console, const QString& prefix, const StopRequest& stop)
        : progress(console, prefix)
        , dialogs(console, prefix)
        , feedback(progress)
        , ctx{link, feedback, dialogs, stop} {}

    IspLink link;
    ProgressReport progress;
    TerminalDialogs dialogs;
    TerminalFeedback feedback;
    CommandContext ctx;
    JobResult result;
    QString version;
    std::optional<IdBytes> ids;
    std::optional<DeviceGeometry> part;
    ChipRecord record;
};

} // namespace zelvan::cli
