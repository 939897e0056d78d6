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
    struct Input {
        QString prompt;
        QString title;
        QString defaultText;
    };

    QList<Box> boxes;
    QList<Input> inputs;
    QList<FileDialogRequest> fileRequests;
    // Taken in order; an exhausted script answers "" (cancel); kAcceptDefault confirms the default.
    QStringList inputAnswers;
    static inline const QString kAcceptDefault = QStringLiteral("<accept the default>");
    QStringList fileAnswers; // likewise for file dialogs
    QStringList questions;   // every confirmation asked
    bool confirmAnswer = true;
    int beeps = 0;
    bool busy = false;
    // Runs inside every message box, input box and file dialog (before it answers).
    std::function<void()> whileShown;

    void messageBox(const QString& text, const QString& title) override {
        boxes.append({text, title});
        if (whileShown)
            whileShown();
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText) override {
        inputs.append({prompt, title, defaultText});
        if (whileShown)
            whileShown();
        if (inputAnswers.isEmpty())
            return QString();
        const QString answer = inputAnswers.takeFirst();
        return answer == kAcceptDefault ? defaultText : answer;
    }
    QString saveFileName(const FileDialogRequest& request) override { return openFileName(request); }
    QString openFileName(const FileDialogRequest& request) override {
        fileRequests.append(request);
        if (whileShown)
            whileShown();
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    void beep() override { ++beeps; }
    bool confirm(const QString& question, const QString&) override {
        questions.append(question);
        if (whileShown)
            whileShown();
        return confirmAnswer;
    }

    QStringList boxTexts() const {
        QStringList texts;
        for (const Box& box : boxes)
            texts.append(box.text);
        return texts;
    }
    QStringList boxTitles() const {
        QStringList titles;
        for (const Box& box : boxes)
            titles.append(box.title);
        return titles;
    }
    void clear() {
        boxes.clear();
        inputs.clear();
        fileRequests.clear();
        questions.clear();
        beeps = 0;
    }

protected:
    void showBusyPointer(bool on) override { busy = on; }
};

} // namespace zelvan::test
