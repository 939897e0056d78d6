#include "qt_dialogs.h"

#include "window_settings.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace zelvan {

void QtDialogs::messageBox(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent_);
    box.exec();
}

QString QtDialogs::inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    bool accepted = false;
    const QString text = QInputDialog::getText(parent_, title, prompt, QLineEdit::Normal, defaultText, &accepted);
    return accepted ? text : QString();
}

QString QtDialogs::openFileName(const FileDialogRequest& request) {
    return fileName(request, QFileDialog::AcceptOpen);
}

QString QtDialogs::saveFileName(const FileDialogRequest& request) {
    return fileName(request, QFileDialog::AcceptSave);
}

QString QtDialogs::fileName(const FileDialogRequest& request, int acceptMode) {
    QFileDialog dialog(parent_, request.title);
    const bool saving = acceptMode == QFileDialog::AcceptSave;
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    // Each kind of file (HEX, automation) starts where the last one of its kind was chosen.
    const QString folder = lastFolder(request.defaultSuffix);
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    rememberFolder(request.defaultSuffix, path);
    return path;
}

bool QtDialogs::confirm(const QString& question, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::beep() {
    QApplication::beep();
}

void QtDialogs::showBusyPointer(bool busy) {
    // The pointer that says "busy, but still pointing": the window stays live during a command
    // (Stop, the Link Log, the menus).
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

} // namespace zelvan
