#include "golden_crcs.h"

#include "common/regular_file.h"
#include "flash/crc_readback.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace zelvan {

namespace {

constexpr qint64 kMaxGoldenFileBytes = 64 * 1024;

std::optional<quint32> crcOf(const QJsonValue& value) {
    return crcNumber(value.toString());
}

} // namespace

bool saveGoldenCrcs(const QString& path, const GoldenCrcs& golden, QString* error) {
    QJsonArray sectors;
    for (const auto& [sector, crc] : golden.sectors)
        sectors.append(QJsonObject{{QStringLiteral("sector"), sector}, {QStringLiteral("crc"), crcText(crc)}});
    const QJsonObject object{{QStringLiteral("part"), golden.partName},
                             {QStringLiteral("sectorSize"), golden.sectorSize},
                             {QStringLiteral("global"), crcText(golden.global)},
                             {QStringLiteral("sectors"), sectors}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(object).toJson()) < 0 || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

std::optional<GoldenCrcs> loadGoldenCrcs(const QString& path, QString* error) {
    const FileContent content = readRegularFile(path, kMaxGoldenFileBytes);
    if (!content.ok()) {
        *error = QStringLiteral("%1: %2").arg(path, content.reason);
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonObject object = QJsonDocument::fromJson(content.bytes, &parseError).object();
    GoldenCrcs golden;
    golden.partName = object.value(QStringLiteral("part")).toString();
    golden.sectorSize = object.value(QStringLiteral("sectorSize")).toInt();
    const std::optional<quint32> global = crcOf(object.value(QStringLiteral("global")));
    bool sectorsOk = true;
    for (const QJsonValue& entry : object.value(QStringLiteral("sectors")).toArray()) {
        const std::optional<quint32> crc = crcOf(entry.toObject().value(QStringLiteral("crc")));
        const int sector = entry.toObject().value(QStringLiteral("sector")).toInt(-1);
        sectorsOk = sectorsOk && crc && sector >= 0;
        if (crc && sector >= 0)
            golden.sectors[sector] = *crc;
    }
    if (parseError.error != QJsonParseError::NoError || golden.partName.isEmpty() || golden.sectorSize <= 0 ||
        !global || !sectorsOk || golden.sectors.empty()) {
        *error = QStringLiteral("%1 is not a file of golden CRCs (saved by \"crc sectors --save\")").arg(path);
        return std::nullopt;
    }
    golden.global = *global;
    return golden;
}

} // namespace zelvan
