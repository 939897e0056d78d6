#pragma once

#include "console.h"
#include "progress_report.h"

#include "common/dialogs.h"
#include "common/feedback.h"

#include <QStringList>

namespace zelvan::cli {

// The dialogs of the command line. Nothing here waits for a keyboard: a question is answered by
// the option that grants it (or refused), input boxes and file dialogs answer as cancelled (the
// command line takes its values from its arguments), and boxes are kept for the command to
// report in its own words.
class TerminalDialogs : public Dialogs {
public:
    TerminalDialogs(Console& console, QString prefix);

    // A confirmation is granted when the option that grants it was given.
    void grantConfirmations(bool granted) { confirmationsGranted_ = granted; }

    void messageBox(const QString& text, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override { return openFileName(request); }
    void beep() override {}
    bool confirm(const QString& question, const QString& title) override;
    void showResult(const QString& text, const QString& title) override;
    void notice(const QString& text, const QString& title) override;

    // The last text a command showed in a box or as its result; empty when none.
    QString lastMessage() const { return messages_.isEmpty() ? QString() : messages_.constLast(); }

protected:
    void showBusyPointer(bool) override {}

private:
    Console& console_;
    QString prefix_;
    bool confirmationsGranted_ = false;
    QStringList messages_;
};

// The report of a command on the terminal: the closing status is kept for the messages, the
// progress goes to the progress report.
class TerminalFeedback : public Feedback {
public:
    explicit TerminalFeedback(ProgressReport& progress)
        : progress_(progress) {}

    void setStatus(const QString& text) override { status_ = text; }
    void setIndicator(Led colour) override { led_ = colour; }
    Led indicator() const override { return led_; }
    void showConnection(bool) override {}
    void setProgress(int done, int total) override { progress_.update(done, total); }

    QString status() const { return status_; }

private:
    ProgressReport& progress_;
    QString status_;
    Led led_ = Led::Green;
};

} // namespace zelvan::cli
