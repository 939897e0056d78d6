#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace zelvan {

// An automation file is a few lines of keywords; anything larger is not one.
inline constexpr qint64 kMaxAutomationFileBytes = 1024 * 1024;

// The lines an automation file may hold that run a command of the window; a line matches one
// only when the whole line, lower-cased and without blanks around it, is the keyword.
enum class CommandKeyword { NoProtect, Protect, Pon, Poff, Scrc, Gcrc, Echip, Epage, Esector, Program };

// The keyword as written in a file ("noprotect", "pon", ...).
QString keywordText(CommandKeyword keyword);

// Whether the keyword's command works on the identified part's pages, sectors or firmware
// ("epage", "esector", "scrc", "program"): before a part is identified it has nothing to work on.
bool keywordNeedsPart(CommandKeyword keyword);

// A configuration write a value keyword asks for.
struct ValueWrite {
    QString keyword;             // "ucfcg1", "ucfcg2", "bootv", "boots", "security"
    std::optional<QString> body; // the record body to send; nothing when the line is not usable
    QString successText;         // status line after an acknowledged write
    QString failureText;         // status line after a refused or unanswered write, or an unusable line
};

struct AutomationLine {
    int number = 0; // 1-based
    QString text;   // the line as it stands in the file, without the blanks around it
    std::optional<CommandKeyword> command;
    QList<ValueWrite> writes; // in the order ucfcg1, ucfcg2, bootv, boots, security

    // The line names something to do (a command or a value keyword).
    bool isKnown() const { return command || !writes.isEmpty(); }
};

// Why a file is refused before anything of it runs.
struct AutomationFileFault {
    int line = 0; // 1-based; 0 for the file as a whole
    QString text; // the line as it stands
    QString reason;
};

struct AutomationScript {
    QList<AutomationLine> lines; // the lines that do something, in order
    std::optional<AutomationFileFault> fault;
};

// Reads a number the way a leading number is read from text: blanks are skipped, then a sign,
// digits, a decimal part and an exponent are taken as far as they go; no number gives nothing.
std::optional<double> leadingNumber(const QString& text);

// Reads one line of an automation file (already without its line end and the blanks around it).
//
// Value keywords are found anywhere in the lower-cased line; the value follows the first "=".
// A line without "=", a value that is not a byte, or a "security" line without "n," (n the
// configuration address, 0..255) gives a write without a body: nothing is sent for it.
AutomationLine parseAutomationLine(const QString& line, int number);

// Reads a whole file, lines ending in LF, CR LF or CR, a UTF-8 byte-order mark skipped. Blanks
// around a line are trimmed; blank lines and lines starting with "#" or ";" are comments. Any
// other line that names no keyword, and a file with no command at all, refuse the whole file:
// a typo must not pass for a step that was carried out.
AutomationScript parseAutomationFile(QByteArrayView content);

} // namespace zelvan
