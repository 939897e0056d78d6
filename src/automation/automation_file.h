#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelvan {

// An automation file is a few lines of keywords; anything larger is not one.
inline constexpr qint64 kMaxAutomationFileBytes = 1024 * 1024;

// The lines that set the protection for the rest of a run. A line matches a keyword (these, or a
// command's) only when the whole line, lower-cased and without blanks around it, is the keyword.
inline const QString kProtectKeyword = QStringLiteral("protect");
inline const QString kNoProtectKeyword = QStringLiteral("noprotect");

// A configuration write a value keyword asks for.
struct ValueWrite {
    QString keyword;             // "ucfcg1", "ucfcg2", "bootv", "boots", "security"
    std::optional<QString> body; // the record body to send; nothing when the line is not usable
    QString successText;         // status line after an acknowledged write
    QString failureText;         // status line after a refused or unanswered write, or an unusable line
};

struct AutomationLine {
    int number = 0;           // 1-based
    QString text;             // the line as it stands in the file, without the blanks around it
    QString command;          // the keyword of a command, of "protect" or "noprotect"; empty when none
    QList<ValueWrite> writes; // in the order ucfcg1, ucfcg2, bootv, boots, security

    // The line names something to do (a command or a value keyword).
    bool isKnown() const { return !command.isEmpty() || !writes.isEmpty(); }
};

// Why a file is refused before anything of it runs.
struct AutomationFileFault {
    int line = 0; // 1-based; 0 for the file as a whole
    QString text; // the line as it stands
    QString reason;
    bool unreadable = false; // the file could not be read at all (reason: the system's words)
};

struct AutomationScript {
    QList<AutomationLine> lines; // the lines that do something, in order
    std::optional<AutomationFileFault> fault;
};

// Reads a number the way a leading number is read from text: blanks are skipped, then a sign,
// digits, a decimal part and an exponent are taken as far as they go; no number gives nothing.
std::optional<double> leadingNumber(const QString& text);

// Reads one line of an automation file (already without its line end and the blanks around it);
// commandKeywords are the keywords of the commands a line may name ("pon", "echip", ...).
//
// Value keywords are found anywhere in the lower-cased line; the value follows the first "=".
// A line without "=", a value that is not a byte, or a "security" line without "n," (n the
// configuration address, 0..255) gives a write without a body: nothing is sent for it.
AutomationLine parseAutomationLine(const QString& line, int number, const QStringList& commandKeywords);

// Reads a whole file, lines ending in LF, CR LF or CR, a UTF-8 byte-order mark skipped. Blanks
// around a line are trimmed; blank lines and lines starting with "#" or ";" are comments. Any
// other line that names no keyword, and a file with no command at all, refuse the whole file:
// a typo must not pass for a step that was carried out.
AutomationScript parseAutomationFile(QByteArrayView content, const QStringList& commandKeywords);

} // namespace zelvan
