#pragma once

#include "command_call.h"

#include "automation/automation_file.h"
#include "automation/automation_run.h"

namespace zelvan {

// What an automation run needs of the front end that runs it. The run itself, its checks, its
// steps, its protection rules and its verdict are the same for every front end.
class AutomationFace {
public:
    virtual ~AutomationFace() = default;

    // What a command of the run works on: the window's lists, cache and Quick Mode, or the whole part
    // and the files given on the command line.
    virtual CommandRequest requestFor(Command command) = 0;
    // A command that works on the identified part is about to run: true when a part is identified
    // (a front end may identify it now); otherwise faultText says why the run cannot go on.
    virtual bool ensurePart(QString& faultText) = 0;
    // A step of the run ended: the front end shows its result as it shows an unattended command's.
    virtual void stepEnded(Command command, const CommandResult& result) = 0;
    // A "protect" or "noprotect" line set the protection for the rest of the run.
    virtual void protectionSet(bool /*protect*/) {}
};

// Runs the lines of a checked script on the board, starting with the protection the board has.
// The commands answer their own questions: the file asked for the work (a chip erase is confirmed;
// taking the protection off needed a "noprotect" line first).
AutomationResult runAutomationScript(Board& board, Progress& progress, AutomationFace& face,
                                     const AutomationScript& script);

// The automation file at path, read and checked whole before anything is sent; script.fault says
// why it cannot run. A file that cannot be read gives a fault for line 0 naming the file.
AutomationScript readAutomationFile(const QString& path);

} // namespace zelvan
