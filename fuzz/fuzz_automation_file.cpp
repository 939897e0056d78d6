// libFuzzer target: the automation file reader must take any bytes without crashing, and every
// record it would send must be a well-formed configuration write: "02000002", an address and
// one byte, all hex.

#include "automation/automation_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<zelvan::AutomationLine> lines =
        zelvan::parseAutomationFile(QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    int previous = 0;
    for (const zelvan::AutomationLine& line : lines) {
        if (line.number <= previous || (!line.command && line.writes.isEmpty()))
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
