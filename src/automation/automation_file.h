#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace zelvan {

// The lines an automation file may hold that run a command of the window; a line matches one
// only when the whole line, lower-cased, is the keyword.
enum class CommandKeyword { NoProtect, Protect, Pon, Poff, Scrc, Gcrc, Echip, Epage, Esector, Program };

// The keyword as written in a file ("noprotect", "pon", ...).
QString keywordText(CommandKeyword keyword);

// A configuration write a value keyword asks for.
struct ValueWrite {
    QString keyword;             // "ucfcg1", "ucfcg2", "bootv", "boots", "security"
    std::optional<QString> body; // the record body to send; nothing when the line is not usable
    QString successText;         // status line after an acknowledged write
    QString failureText;         // status line after a refused or unanswered write, or an unusable line
};

struct AutomationLine {
    int number = 0; // 1-based
    std::optional<CommandKeyword> command;
    QList<ValueWrite> writes; // in the order ucfcg1, ucfcg2, bootv, boots, security
};

// Reads a number the way a leading number is read from text: blanks are skipped, then a sign,
// digits, a decimal part and an exponent are taken as far as they go; no number gives nothing.
std::optional<double> leadingNumber(const QString& text);

// Reads one line of an automation file (already without its line end).
//
// Value keywords are found anywhere in the lower-cased line; the value follows the first "=".
// A line without "=", a value that is not a byte, or a "security" line without "n," (n the
// configuration address, 0..255) gives a write without a body: nothing is sent for it.
AutomationLine parseAutomationLine(const QString& line, int number);

// Splits a file into lines (LF, CR LF or CR) and reads each; lines that say nothing are left out.
QList<AutomationLine> parseAutomationFile(QByteArrayView content);

} // namespace zelvan
