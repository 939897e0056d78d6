#pragma once

#include <QString>

namespace zelvan {

// What an open-file dialog shows.
struct FileDialogRequest {
    QString title;
    QString filter;        // "HEX Files (*.hex);;All Files (*)"
    QString defaultSuffix; // "hex"
};

// Everything modal or user-facing the window puts in front of the user. The window implements it
// with Qt dialogs, the tests with a scripted fake that records every box.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with an OK button and no icon; returns when the user has closed it.
    virtual void messageBox(const QString& text, const QString& title) = 0;
    // A one-line input box; returns the entered text, or an empty text on cancel.
    virtual QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) = 0;
    // Returns the chosen existing file's full path, or an empty text on cancel.
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    // Returns the full path of the file to write (new or not), or an empty text on cancel.
    virtual QString saveFileName(const FileDialogRequest& request) = 0;
    virtual void beep() = 0;
    // A yes/no question before something that cannot be undone; true to go on.
    virtual bool confirm(const QString& question, const QString& title) = 0;

    // The closing result of a command that reports in a box (erases, board commands, programming):
    // a beep, then the box.
    void showResult(const QString& text, const QString& title) {
        beep();
        messageBox(text, title);
    }

    // Busy (wait) pointer on or off. Calls nest (see BusyPointer): the pointer is busy from the
    // first "on" until the matching last "off".
    void setBusyPointer(bool busy) {
        const int before = busyDepth_;
        busyDepth_ = busy ? busyDepth_ + 1 : (busyDepth_ > 0 ? busyDepth_ - 1 : 0);
        if ((before == 0) != (busyDepth_ == 0))
            showBusyPointer(busyDepth_ > 0);
    }

protected:
    // The pointer changes between busy and normal.
    virtual void showBusyPointer(bool busy) = 0;

private:
    int busyDepth_ = 0;
};

// Passes every dialog on to the window's, until the program starts closing: from then on a box
// is not shown, an input box or file dialog answers as if cancelled and a question as if declined,
// so that a command cut short by the close unwinds without putting anything in front of the user.
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
    QString saveFileName(const FileDialogRequest& request) override {
        return closed_ ? QString() : target_.saveFileName(request);
    }
    void beep() override {
        if (!closed_)
            target_.beep();
    }
    bool confirm(const QString& question, const QString& title) override {
        return !closed_ && target_.confirm(question, title);
    }

protected:
    void showBusyPointer(bool busy) override { target_.setBusyPointer(busy && !closed_); }

private:
    Dialogs& target_;
    bool closed_ = false;
};

// The busy pointer for as long as the guard lives. Guards nest, so a command run inside another
// one leaves the pointer busy until the outer one ends.
class BusyPointer {
public:
    explicit BusyPointer(Dialogs& dialogs)
        : dialogs_(dialogs) {
        dialogs_.setBusyPointer(true);
    }
    ~BusyPointer() { release(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

    // Normal pointer from here on (before a closing box, say), instead of at the end of the scope.
    void release() {
        if (held_)
            dialogs_.setBusyPointer(false);
        held_ = false;
    }

private:
    Dialogs& dialogs_;
    bool held_ = true;
};

} // namespace zelvan
