#pragma once

#include <QString>

namespace zelvan {

// What an open-file dialog shows.
struct FileDialogRequest {
    QString title;
    QString filter;        // "HEX Files (*.hex);;All Files (*)"
    QString defaultSuffix; // "hex"
};

// Everything modal or user-facing that a command must wait for. The window implements it with Qt
// dialogs, the tests with a scripted fake, a terminal front end with prompts.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with an OK button and no icon; returns when the user has closed it.
    virtual void messageBox(const QString& text, const QString& title) = 0;
    // A one-line input box; returns the entered text, or an empty text on cancel.
    virtual QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) = 0;
    // Returns the chosen existing file's full path, or an empty text on cancel.
    virtual QString openFileName(const FileDialogRequest& request) = 0;
    virtual void beep() = 0;
    // Busy (wait) pointer while a command works, normal pointer afterwards.
    virtual void setBusyPointer(bool busy) = 0;
};

} // namespace zelvan
