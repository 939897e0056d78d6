#include "automation_file.h"

#include "common/system_texts.h"
#include "common/text_lines.h"
#include "flash/byte_entry.h"
#include "link/isp_commands.h"

#include <array>
#include <cmath>

namespace zelvan {

namespace {

struct ValueKeyword {
    QString keyword;
    int address;    // configuration address; -1: the line gives it ("security=n,v")
    QString phrase; // status line phrase
};

const std::array<ValueKeyword, 5>& valueKeywords() {
    static const std::array<ValueKeyword, 5> keywords{{
        {systemText::kUcfg1Keyword, configAddress::kUcfg1, QStringLiteral("Programming UCFG1")},
        {systemText::kUcfg2Keyword, configAddress::kUcfg2, QStringLiteral("Programming UCFG2")},
        {QStringLiteral("bootv"), configAddress::kBootVector, QStringLiteral("Programming Boot Vector")},
        {QStringLiteral("boots"), configAddress::kStatusByte, QStringLiteral("Programming Status Byte")},
        {QStringLiteral("security"), -1, QStringLiteral("Programming Security Byte(s)")},
    }};
    return keywords;
}

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

AutomationLine parseAutomationLine(const QString& rawLine, int number, const QStringList& commandKeywords) {
    AutomationLine parsed;
    parsed.number = number;
    parsed.text = rawLine;
    const QString line = rawLine.toLower();
    if (line == kProtectKeyword || line == kNoProtectKeyword || commandKeywords.contains(line))
        parsed.command = line;
    for (const ValueKeyword& keyword : valueKeywords()) {
        if (!line.contains(keyword.keyword))
            continue;
        parsed.writes.append({keyword.keyword, writeBody(keyword, line), keyword.phrase + QStringLiteral(": Done"),
                              keyword.phrase + QStringLiteral(": Error")});
    }
    return parsed;
}

AutomationScript parseAutomationFile(QByteArrayView content, const QStringList& commandKeywords) {
    AutomationScript script;
    forEachLine(withoutByteOrderMark(content), [&](QByteArrayView bytes, int number) {
        const QString text = QString::fromLatin1(bytes).trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')) || text.startsWith(QLatin1Char(';')))
            return true;
        AutomationLine line = parseAutomationLine(text, number, commandKeywords);
        if (!line.isKnown()) {
            script.fault = AutomationFileFault{number, text, QStringLiteral("is not an automation keyword")};
            return false;
        }
        script.lines.append(std::move(line));
        return true;
    });
    if (!script.fault && script.lines.isEmpty())
        script.fault = AutomationFileFault{0, QString(), QStringLiteral("the file holds no automation command")};
    if (script.fault)
        script.lines.clear();
    return script;
}

} // namespace zelvan
