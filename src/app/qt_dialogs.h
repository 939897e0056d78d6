#pragma once

#include "common/dialogs.h"

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
    void beep() override;
    bool confirm(const QString& question, const QString& title) override;

protected:
    void showBusyPointer(bool busy) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace zelvan
