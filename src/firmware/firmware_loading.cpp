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
        files.files.append(std::move(file));
    }
    return files;
}

QString fitProblem(const HexFiles& files, int flashSize, const QString& partName) {
    for (const HexFile& file : files.files) {
        if (const std::optional<quint64> outside = file.image.firstAddressOutside(flashSize))
            return QStringLiteral("%1 writes at %2H, outside the %3's %4 bytes of flash (give --truncate to program "
                                  "only what fits)")
                .arg(file.path, QString::number(*outside, 16).toUpper().rightJustified(4, QLatin1Char('0')), partName)
                .arg(flashSize);
    }
    return QString();
}

QString nothingForPart(const HexFiles& files, int flashSize, const QString& partName) {
    const bool inside = files.image.lowest() < flashSize;
    for (int index = 0; index < HexImage::kConfigCount; ++index) {
        if (files.image.hasConfig(index))
            return QString();
    }
    return inside ? QString()
                  : QStringLiteral("%1 hold%2 nothing for the %3's %4 bytes of flash and no configuration byte")
                        .arg(files.paths.join(QStringLiteral(", ")), files.paths.size() > 1 ? QString() : "s", partName)
                        .arg(flashSize);
}

} // namespace zelvan
