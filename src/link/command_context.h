#pragma once

#include "isp_link.h"

#include "common/dialogs.h"
#include "common/feedback.h"

namespace zelvan {

// What a command procedure works with: the link to the board, the window's report lines and the
// dialogs. fgAutoRunning is set while the automation runs the command: the erase, board and
// programming commands then leave out their beep and result box.
struct CommandContext {
    IspLink& link;
    Feedback& feedback;
    Dialogs& dialogs;
    bool fgAutoRunning = false;
};

} // namespace zelvan
