#pragma once

#include "common/dialogs.h"

namespace zelvan {

// Passes every dialog on to the window's, until the program starts closing: from then on a box
// is not shown, an input box or file dialog answers as if cancelled, so that a command cut short
// by the close unwinds without putting anything in front of the user.
class GuardedDialogs : public Dialogs {
public:
    explicit GuardedDialogs(Dialogs& target)
        : target_(target) {}

    void close() { closed_ = true; }
    bool closed() const { return closed_; }

    void messageBox(const QString& text, const QString& title) override {
        if (!closed_)
            target_.messageBox(text, title);
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override {
        return closed_ ? QString() : target_.inputBox(prompt, title, defaultText);
    }
    QString openFileName(const FileDialogRequest& request) override {
        return closed_ ? QString() : target_.openFileName(request);
    }
    void beep() override {
        if (!closed_)
            target_.beep();
    }
    void setBusyPointer(bool busy) override { target_.setBusyPointer(busy && !closed_); }

private:
    Dialogs& target_;
    bool closed_ = false;
};

} // namespace zelvan
