#pragma once

#include "common/dialogs.h"
#include "common/feedback.h"
#include "common/stop_request.h"
#include "link/isp_link.h"

namespace zelvan {

// What a command procedure works with: the link to the board, the report of the front end
// (status line, indicator, progress), its dialogs, and the user's request to stop a long command.
// While an automation file runs, the dialogs are quiet ones: no result box, no beep.
struct CommandContext {
    IspLink& link;
    Feedback& feedback;
    Dialogs& dialogs;
    const StopRequest& stop;
};

} // namespace zelvan
