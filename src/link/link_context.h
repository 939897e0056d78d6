#pragma once

#include "isp_link.h"

#include "common/progress.h"
#include "common/stop_request.h"

namespace zelvan {

// What a sequence of exchanges works with: the link to the board, where its progress goes, and the
// user's request to stop a long operation (looked at between records, never in the middle of one).
struct LinkContext {
    IspLink& link;
    Progress& progress;
    const StopRequest& stop;
};

} // namespace zelvan
