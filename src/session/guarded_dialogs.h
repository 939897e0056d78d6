#pragma once

#include "dialogs.h"

namespace zelvan {

// Passes every dialog on to the window's, until the program starts closing: from then on a box
// is not shown, an input box or file dialog answers as if cancelled, so that a command cut short
// by the close unwinds without putting anything in front of the user.
class GuardedDialogs : public ForwardingDialogs {
public:
    using ForwardingDialogs::ForwardingDialogs;

    void close() { closed_ = true; }
    bool closed() const { return closed_; }

    void messageBox(const QString& text, const QString& title) override {
        if (!closed_)
            ForwardingDialogs::messageBox(text, title);
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override {
        return closed_ ? QString() : ForwardingDialogs::inputBox(prompt, title, defaultText);
    }
    QString openFileName(const FileDialogRequest& request) override {
        return closed_ ? QString() : ForwardingDialogs::openFileName(request);
    }
    QString saveFileName(const FileDialogRequest& request) override {
        return closed_ ? QString() : ForwardingDialogs::saveFileName(request);
    }
    void beep() override {
        if (!closed_)
            ForwardingDialogs::beep();
    }
    bool confirm(const QString& question, const QString& title) override {
        return !closed_ && ForwardingDialogs::confirm(question, title);
    }
    void showResult(const QString& text, const QString& title) override {
        if (!closed_)
            ForwardingDialogs::showResult(text, title);
    }
    void notice(const QString& text, const QString& title) override {
        if (!closed_)
            ForwardingDialogs::notice(text, title);
    }

protected:
    void showBusyPointer(bool busy) override { ForwardingDialogs::showBusyPointer(busy && !closed_); }

private:
    bool closed_ = false;
};

} // namespace zelvan
