#include "link_log_dock.h"

#include "link_capture.h"
#include "window_settings.h"

#include "session/dialogs.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

namespace zelvan {

LinkLogDock::LinkLogDock(Dialogs& dialogs, QWidget* parent)
    : QDockWidget(tr("Link Log"), parent)
    , dialogs_(dialogs)
    , capture_(new LinkCapture(this))
    , view_(new QPlainTextEdit) {
    setObjectName(QStringLiteral("dockLinkLog"));
    toggleViewAction()->setObjectName(QStringLiteral("mnuViewLinkLog"));
    toggleViewAction()->setToolTip(tr("Shows every record written to the board and every answer"));

    view_->setObjectName(QStringLiteral("txtLinkLog"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setMaximumBlockCount(kMaxLines);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* clear = new QPushButton(tr("Clear"));
    clear->setObjectName(QStringLiteral("cmdLinkLogClear"));
    auto* save = new QPushButton(tr("Save..."));
    save->setObjectName(QStringLiteral("cmdLinkLogSave"));
    connect(clear, &QPushButton::clicked, view_, &QPlainTextEdit::clear);
    connect(save, &QPushButton::clicked, this, &LinkLogDock::save);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(clear);
    buttons->addWidget(save);
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(view_);
    layout->addLayout(buttons);
    setWidget(content);

    // The wire is captured while the dock is open (not merely while it can be seen: a run goes on
    // being logged while the window is minimised).
    connect(toggleViewAction(), &QAction::toggled, capture_, &LinkCapture::setActive);
    connect(capture_, &LinkCapture::linesArrived, this, &LinkLogDock::appendLines);
}

QString LinkLogDock::text() const {
    return view_->toPlainText();
}

void LinkLogDock::appendLines(const QStringList& lines) {
    // One append for the whole batch: one layout pass instead of one a line.
    view_->appendPlainText(lines.join(QLatin1Char('\n')));
}

bool LinkLogDock::saveTo(const QString& path) {
    capture_->flush();
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        file.write(view_->toPlainText().toUtf8() + '\n');
        if (file.commit())
            return true;
    }
    dialogs_.messageBox(
        tr("The link log could not be saved to %1:\n%2").arg(QDir::toNativeSeparators(path), file.errorString()),
        tr("Save Link Log"));
    return false;
}

void LinkLogDock::save() {
    const QString folder = lastFolder(QStringLiteral("log"));
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save Link Log"),
        QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(QStringLiteral("link-log.txt")),
        tr("Text Files (*.txt);;All Files (*)"));
    if (path.isEmpty())
        return;
    if (saveTo(path))
        rememberFolder(QStringLiteral("log"), path);
}

} // namespace zelvan
