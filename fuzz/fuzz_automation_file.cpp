// libFuzzer target: the automation file reader must take any bytes without crashing, and every
// record it would send must be a well-formed configuration write: "02000002", an address and
// one byte, all hex. A file is either refused (naming a line) or gives lines that each do
// something, never both and never neither.

#include "automation/automation_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The keywords of the commands, as the command table names them.
    static const QStringList kKeywords{"pon", "poff", "scrc", "gcrc", "echip", "epage", "esector", "program"};
    const zelvan::AutomationScript script = zelvan::parseAutomationFile(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), kKeywords);
    if (script.fault.has_value() == !script.lines.isEmpty())
        std::abort();
    if (script.fault && (script.fault->line < 0 || script.fault->reason.isEmpty()))
        std::abort();
    int previous = 0;
    for (const zelvan::AutomationLine& line : script.lines) {
        if (line.number <= previous || !line.isKnown())
            std::abort();
        previous = line.number;
        for (const zelvan::ValueWrite& write : line.writes) {
            if (!write.body)
                continue;
            const QString& body = *write.body;
            if (body.size() != 12 || !body.startsWith(QLatin1String("02000002")))
                std::abort();
            for (const QChar c : body) {
                if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
                    std::abort();
            }
        }
    }
    return 0;
}
