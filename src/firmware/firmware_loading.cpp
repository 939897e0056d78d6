#include "firmware_loading.h"

#include "common/regular_file.h"

#include <QFileInfo>

namespace zelvan {

QString hexFaultText(const QString& path, const HexReadResult& result) {
    QString text = QStringLiteral("Error:  %1\r\n").arg(static_cast<int>(result.fault));
    const QString name = QFileInfo(path).fileName();
    if (result.line > 0)
        return text + QStringLiteral("%1, line %2: %3.").arg(name).arg(result.line).arg(result.reason);
    return text + QStringLiteral("%1: %2.").arg(name, result.reason);
}

QString hexFaultLine(const QString& path, const HexReadResult& result) {
    if (result.line > 0)
        return QStringLiteral("%1, line %2: %3").arg(path).arg(result.line).arg(result.reason);
    return QStringLiteral("%1: %2").arg(path, result.reason);
}

HexFile loadHexFile(const QString& path) {
    HexFile file{path, {}, {}};
    const FileContent content = readRegularFile(path, kMaxHexFileBytes);
    if (!content.ok()) {
        file.result.fault = content.fault == FileContent::Fault::TooLarge ? HexFault::TooLarge : HexFault::Unreadable;
        file.result.reason = content.reason;
        return file;
    }
    file.result = readIntelHex(content.bytes, file.image);
    return file;
}

HexFiles loadHexFiles(const QStringList& paths) {
    HexFiles files;
    files.paths = paths;
    for (const QString& path : paths) {
        HexFile file = loadHexFile(path);
        if (!file.ok()) {
            files.refused = std::move(file);
            return files;
        }
        files.image.layOver(file.image);
    }
    return files;
}

} // namespace zelvan
