#pragma once

#include "session/dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace zelvan::test {

// Dialogs for tests: records every box, answers input boxes and file dialogs from scripts.
class FakeDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        QString title;
    };
    QList<Box> boxes;
    QStringList inputs; // the default text of each input box
    QList<FileDialogRequest> fileRequests;
    QStringList inputAnswers; // taken in order; none left answers "" (cancel)
    QStringList fileAnswers;  // likewise for file dialogs
    QStringList questions;    // every confirmation asked
    bool confirmAnswer = true;
    int beeps = 0;
    bool busy = false;
    // Runs inside every message box, input box and file dialog (before it answers).
    std::function<void()> whileShown;

    void messageBox(const QString& text, const QString& title) override {
        boxes.append({text, title});
        shown();
    }
    QString inputBox(const QString&, const QString&, const QString& defaultText) override {
        inputs.append(defaultText);
        shown();
        return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
    }
    QString saveFileName(const FileDialogRequest& request) override { return openFileName(request); }
    QString openFileName(const FileDialogRequest& request) override {
        fileRequests.append(request);
        shown();
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    void beep() override { ++beeps; }
    bool confirm(const QString& question, const QString&) override {
        questions.append(question);
        shown();
        return confirmAnswer;
    }

    QStringList boxTitles() const {
        QStringList titles;
        for (const Box& box : boxes)
            titles.append(box.title);
        return titles;
    }
    // Forgets what was shown and asked; the scripts stay.
    void clear() {
        boxes.clear();
        inputs.clear();
        fileRequests.clear();
        questions.clear();
        beeps = 0;
    }

protected:
    void showBusyPointer(bool on) override { busy = on; }

private:
    void shown() {
        if (whileShown)
            whileShown();
    }
};

} // namespace zelvan::test
