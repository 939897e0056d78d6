#include "automation_file.h"

#include "common/text_lines.h"
#include "flash/byte_entry.h"
#include "link/records.h"

#include <array>
#include <cmath>

namespace zelvan {

namespace {

struct KeywordEntry {
    CommandKeyword keyword;
    const char* text;
};

// In the order the lines are compared.
constexpr std::array<KeywordEntry, 10> kCommandKeywords{{
    {CommandKeyword::NoProtect, "noprotect"},
    {CommandKeyword::Protect, "protect"},
    {CommandKeyword::Pon, "pon"},
    {CommandKeyword::Poff, "poff"},
    {CommandKeyword::Scrc, "scrc"},
    {CommandKeyword::Gcrc, "gcrc"},
    {CommandKeyword::Echip, "echip"},
    {CommandKeyword::Epage, "epage"},
    {CommandKeyword::Esector, "esector"},
    {CommandKeyword::Program, "program"},
}};

struct ValueKeyword {
    const char* keyword;
    int address;        // configuration address; -1: the line gives it ("security=n,v")
    const char* phrase; // status line phrase
};

constexpr std::array<ValueKeyword, 5> kValueKeywords{{
    {"ucfcg1", 0x00, "Programming UCFG1"},
    {"ucfcg2", 0x01, "Programming UCFG2"},
    {"bootv", 0x02, "Programming Boot Vector"},
    {"boots", 0x03, "Programming Status Byte"},
    {"security", -1, "Programming Security Byte(s)"},
}};

// Rounds halves to the even neighbour, the way a number becomes an integer in the files' origin.
long long roundHalfEven(double value) {
    return static_cast<long long>(std::nearbyint(value));
}

std::optional<QString> writeBody(const ValueKeyword& keyword, const QString& line) {
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0)
        return std::nullopt;
    QString value = line.mid(equals + 1);
    int address = keyword.address;
    if (address < 0) {
        const qsizetype comma = value.indexOf(QLatin1Char(','));
        if (comma < 0)
            return std::nullopt;
        const std::optional<double> number = leadingNumber(value.left(comma));
        // A configuration address is one byte; anything else would build a record that is not one.
        if (!number || !(*number > -1.0 && *number < 256.0))
            return std::nullopt;
        const long long rounded = roundHalfEven(*number);
        if (rounded < 0 || rounded > 0xFF)
            return std::nullopt;
        address = static_cast<int>(rounded);
        value = value.mid(comma + 1);
    }
    const std::optional<QString> byte = normaliseByteEntry(value);
    if (!byte)
        return std::nullopt;
    return configWriteBody(address, *byte);
}

} // namespace

QString keywordText(CommandKeyword keyword) {
    return QLatin1String(kCommandKeywords[static_cast<size_t>(keyword)].text);
}

std::optional<double> leadingNumber(const QString& text) {
    QString digits;
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
            ++i;
    };
    const auto takeDigits = [&] {
        const qsizetype start = digits.size();
        for (skipBlanks(); i < text.size() && text[i].isDigit() && text[i].unicode() < 128; skipBlanks())
            digits += text[i++];
        return digits.size() > start;
    };
    skipBlanks();
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        digits += text[i++];
    bool any = takeDigits();
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        digits += text[i++];
        any = takeDigits() || any;
    }
    if (!any)
        return std::nullopt;
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('d'))) {
        const QString mantissa = digits;
        const qsizetype afterMantissa = i;
        digits += QLatin1Char('e');
        ++i;
        if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
            digits += text[i++];
        if (!takeDigits()) {
            digits = mantissa;
            i = afterMantissa;
        }
    }
    bool ok = false;
    const double value = digits.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

AutomationLine parseAutomationLine(const QString& rawLine, int number) {
    AutomationLine parsed;
    parsed.number = number;
    const QString line = rawLine.toLower();
    for (const KeywordEntry& entry : kCommandKeywords) {
        if (line == QLatin1String(entry.text)) {
            parsed.command = entry.keyword;
            break;
        }
    }
    for (const ValueKeyword& keyword : kValueKeywords) {
        if (!line.contains(QLatin1String(keyword.keyword)))
            continue;
        const QString phrase = QLatin1String(keyword.phrase);
        parsed.writes.append({QLatin1String(keyword.keyword), writeBody(keyword, line),
                              phrase + QStringLiteral(": Done"), phrase + QStringLiteral(": Error")});
    }
    return parsed;
}

QList<AutomationLine> parseAutomationFile(QByteArrayView content) {
    QList<AutomationLine> lines;
    forEachLine(content, [&lines](QByteArrayView text, int number) {
        AutomationLine line = parseAutomationLine(QString::fromLatin1(text), number);
        if (line.command || !line.writes.isEmpty())
            lines.append(std::move(line));
        return true;
    });
    return lines;
}

} // namespace zelvan
