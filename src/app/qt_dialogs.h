#pragma once

#include "session/dialogs.h"

#include <QPointer>
#include <QWidget>

namespace zelvan {

// The dialogs of the desktop window: Qt message boxes (OK, no icon), input and file dialogs,
// the system beep and the busy pointer.
class QtDialogs : public Dialogs {
public:
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    void messageBox(const QString& text, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    void beep() override;
    bool confirm(const QString& question, const QString& title) override;

protected:
    void showBusyPointer(bool busy) override;

private:
    // The file dialog, for opening an existing file or saving one (a QFileDialog::AcceptMode).
    QString fileName(const FileDialogRequest& request, int acceptMode);

    QPointer<QWidget> parent_;
};

} // namespace zelvan
