#include "chip_state.h"

#include "common/regular_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <map>

namespace zelvan::sim {

namespace {

const QString kFormat = QStringLiteral("zelvan-simulated-chip");
constexpr int kFormatVersion = 1;
// A state file holds at most 64 KiB of flash, base64-coded, and a few small fields.
constexpr qint64 kMaxFileSize = 256 * 1024;
// The configuration addresses a part may have: 00..03, and the security bytes at 08..0F, 18..1F.
constexpr int kLastConfigAddress = 0x1F;

QString idText(const BoardModel::Ids& ids) {
    return QString::asprintf("%02X%02X%02X", ids.manufacturer, ids.deviceId1, ids.deviceId2);
}

bool failWith(QString* error, const QString& reason) {
    if (error)
        *error = reason;
    return false;
}

} // namespace

bool saveChipState(const BoardModel& board, const QString& path, QString* error) {
    QJsonObject configuration;
    for (int address = 0; address <= kLastConfigAddress; ++address) {
        if (const std::optional<quint8> value = board.configByte(address))
            configuration[QString::asprintf("%02X", address)] = QString::asprintf("%02X", *value);
    }
    const QJsonObject state{
        {QStringLiteral("format"), kFormat},
        {QStringLiteral("version"), kFormatVersion},
        {QStringLiteral("ids"), idText(board.ids())},
        {QStringLiteral("flashSize"), board.geometry().flashSize()},
        {QStringLiteral("chipPresent"), board.chipPresent()},
        {QStringLiteral("flash"), QString::fromLatin1(board.flash().toBase64())},
        {QStringLiteral("configuration"), configuration},
    };

    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return failWith(error, QStringLiteral("%1: cannot make its folder").arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failWith(error, QStringLiteral("%1: %2").arg(path, file.errorString()));
    file.write(QJsonDocument(state).toJson());
    if (!file.commit())
        return failWith(error, QStringLiteral("%1: %2").arg(path, file.errorString()));
    return true;
}

bool loadChipState(BoardModel& board, const QString& path, QString* error) {
    const FileContent content = readRegularFile(path, kMaxFileSize);
    if (!content.ok())
        return failWith(error, QStringLiteral("%1: %2").arg(path, content.reason));
    const QJsonObject state = QJsonDocument::fromJson(content.bytes).object();
    const auto notState = [&](const char* why) {
        return failWith(error, QStringLiteral("%1: not a simulated chip's state (%2)").arg(path, QLatin1String(why)));
    };
    if (state.value(QStringLiteral("format")).toString() != kFormat ||
        state.value(QStringLiteral("version")).toInt() != kFormatVersion)
        return notState("unknown format");

    const QString ids = state.value(QStringLiteral("ids")).toString();
    const int flashSize = state.value(QStringLiteral("flashSize")).toInt(-1);
    if (ids != idText(board.ids()) || flashSize != board.geometry().flashSize())
        return failWith(
            error,
            QStringLiteral("%1: the state of another part (ids %2, %3 bytes of flash)").arg(path, ids).arg(flashSize));

    const QByteArray::FromBase64Result flash = QByteArray::fromBase64Encoding(
        state.value(QStringLiteral("flash")).toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!flash || flash.decoded.size() != flashSize)
        return notState("flash");
    std::map<int, quint8> configuration;
    const QJsonObject configObject = state.value(QStringLiteral("configuration")).toObject();
    for (auto it = configObject.begin(); it != configObject.end(); ++it) {
        bool addressOk = false;
        bool valueOk = false;
        const uint address = it.key().toUInt(&addressOk, 16);
        const uint value = it.value().toString().toUInt(&valueOk, 16);
        if (!addressOk || !valueOk || value > 0xFF || !board.configByte(static_cast<int>(address)))
            return notState("configuration");
        configuration[static_cast<int>(address)] = static_cast<quint8>(value);
    }
    const QJsonValue present = state.value(QStringLiteral("chipPresent"));
    if (!present.isBool())
        return notState("chip present");

    // All read and checked: only now is the board changed.
    board.insertChip();
    board.flash() = flash.decoded;
    for (const auto& [address, value] : configuration)
        board.setConfigByte(address, value);
    if (!present.toBool())
        board.removeChip();
    return true;
}

} // namespace zelvan::sim
