#include "terminal_front.h"

namespace zelvan::cli {

TerminalDialogs::TerminalDialogs(Console& console, QString prefix)
    : console_(console)
    , prefix_(std::move(prefix)) {}

void TerminalDialogs::messageBox(const QString& text, const QString&) {
    messages_.append(text.trimmed());
}

QString TerminalDialogs::inputBox(const QString&, const QString&, const QString&) {
    return QString();
}

QString TerminalDialogs::openFileName(const FileDialogRequest&) {
    return QString();
}

bool TerminalDialogs::confirm(const QString& question, const QString&) {
    if (!confirmationsGranted_)
        messages_.append(question);
    return confirmationsGranted_;
}

void TerminalDialogs::showResult(const QString& text, const QString&) {
    messages_.append(text.trimmed());
}

void TerminalDialogs::notice(const QString& text, const QString&) {
    console_.note(prefix_ + QStringLiteral("note: ") + text);
}

} // namespace zelvan::cli
