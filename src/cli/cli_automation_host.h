#pragma once

#include "board_job.h"
#include "board_job_run.h"

#include "automation/automation_run.h"

#include <functional>

namespace zelvan::cli {

// What an automation file drives on the command line: the procedures of the board job, with the
// whole page or sector range where the window would take its lists, the --hex files as the
// firmware, and quiet dialogs (no result box); a confirmation is still granted only by
// --no-protect, as everywhere on the command line.
// The part is identified when the first keyword needs it, so that a file may switch the target
// on ("pon") first.
class CliAutomationHost : public AutomationHost {
public:
    CliAutomationHost(BoardJob::Run& run, const CliRequest& request, Console& console, QString prefix,
                      std::function<bool()> identify);

    CommandContext& context() { return ctx_; }

    void setProtect(bool ticked) override { protect_ = ticked; }
    StepOutcome runKeyword(CommandKeyword keyword, QString& faultText) override;

private:
    bool ensurePart(QString& faultText);

    BoardJob::Run& run_;
    const CliRequest& request_;
    Console& console_;
    QString prefix_;
    std::function<bool()> identify_;
    // Quiet, but confirmations go to the terminal's dialogs.
    class UnattendedDialogs : public QuietDialogs {
    public:
        using QuietDialogs::QuietDialogs;
        bool confirm(const QString& question, const QString& title) override {
            return target().confirm(question, title);
        }
    };
    UnattendedDialogs quiet_;
    CommandContext ctx_;
    bool protect_;
    std::optional<FirmwareCache> firmware_;
};

} // namespace zelvan::cli
