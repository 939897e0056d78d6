#pragma once

#include <QDockWidget>

class QPlainTextEdit;

namespace zelvan {

class Dialogs;
class LinkCapture;

// View > Link Log: every write to the board and every answer, time-stamped, in printable form
// ("12:00:01.234 COM1 -> :0100000310EC<CR><LF>"), with Clear and Save... The wire is captured
// only while the dock is open. The view keeps the last kMaxLines lines.
class LinkLogDock : public QDockWidget {
    Q_OBJECT

public:
    static constexpr int kMaxLines = 50000;

    LinkLogDock(Dialogs& dialogs, QWidget* parent = nullptr);

    QString text() const;
    // Writes the log to a text file; false (and a box) when it cannot be written.
    bool saveTo(const QString& path);

private:
    void appendLines(const QStringList& lines);
    void save();

    Dialogs& dialogs_;
    LinkCapture* capture_;
    QPlainTextEdit* view_;
};

} // namespace zelvan
