#include "hex_files.h"

#include "common/regular_file.h"
#include "firmware/firmware_loading.h"

#include <QFileInfo>

namespace zelvan::cli {

namespace {

// Where the largest part's flash ends: a file is checked against it before the part is known.
constexpr int kLargestFlashLastAddr = 16383;

QString loadError(const QString& path, const HexReadResult& result) {
    // The box text of the window, on one line: "Error:  4  blink.hex, line 5: ...".
    return hexFaultText(path, result).replace(QStringLiteral("\r\n"), QStringLiteral("  "));
}

} // namespace

QString checkHexFiles(const QStringList& files) {
    for (const QString& path : files) {
        FirmwareCache scratch;
        scratch.recreate(kLargestFlashLastAddr);
        const HexReadResult result = loadHexFile(path, scratch, kLargestFlashLastAddr);
        if (!result.ok())
            return loadError(path, result);
    }
    return QString();
}

bool loadHexFiles(const QStringList& files, FirmwareCache& cache, const DeviceGeometry& part, const QString& prefix,
                  Console& console, QString* error) {
    for (const QString& path : files) {
        const HexReadResult result = loadHexFile(path, cache, part.intFlashLastAddr);
        if (!result.ok()) {
            *error = loadError(path, result);
            return false;
        }
        if (result.overFlash)
            console.note(prefix + QStringLiteral("note: %1 reaches beyond the part's %2 bytes of flash; configuration "
                                                 "bytes found there are written after the pages, the rest is dropped")
                                      .arg(QFileInfo(path).fileName())
                                      .arg(part.flashSize()));
    }
    return true;
}

std::optional<AutomationScript> readAutomationScript(const QString& path, QString* error) {
    const FileContent content = readRegularFile(path, kMaxAutomationFileBytes);
    if (!content.ok()) {
        *error = QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), content.reason);
        return std::nullopt;
    }
    AutomationScript script = parseAutomationFile(content.bytes);
    if (script.fault) {
        *error = script.fault->line > 0
                     ? QStringLiteral("%1, line %2: \"%3\" %4")
                           .arg(QFileInfo(path).fileName())
                           .arg(script.fault->line)
                           .arg(script.fault->text, script.fault->reason)
                     : QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), script.fault->reason);
        return std::nullopt;
    }
    return script;
}

} // namespace zelvan::cli
