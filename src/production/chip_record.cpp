#include "chip_record.h"

#include "common/hex_text.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QUuid>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace zelvan {

namespace {

constexpr std::array<std::pair<VerifyResult, const char*>, 3> kVerifyTexts{{
    {VerifyResult::NotVerified, "not verified"},
    {VerifyResult::Passed, "passed"},
    {VerifyResult::Failed, "verify failed"},
}};

// How a serial number can be laid into the flash; empty when the command wrote none.
constexpr std::array<const char*, 5> kSerialFormats{"", "be", "le", "bcd", "ascii"};

constexpr qint64 kIntMax = std::numeric_limits<int>::max();

QJsonValue optionalJson(const std::optional<qint64>& value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue crcJson(const std::optional<quint32>& crc) {
    if (!crc)
        return QJsonValue::Null;
    return QString::number(*crc, 16).rightJustified(8, QLatin1Char('0')).toUpper();
}

QJsonObject crcPairJson(const RecordedCrc& crc) {
    return QJsonObject{{"read", crcJson(crc.read)}, {"expected", crcJson(crc.expected)}};
}

// Reading JSON back: the first fault is kept in error_ and every later read gives a default, so
// that a reader can go through all keys and look at the outcome once.
class Reader {
public:
    explicit Reader(QString* error)
        : error_(error) {}
    bool ok() const { return ok_; }

    QJsonValue value(const QJsonObject& json, const char* key, QJsonValue::Type type, bool nullable = false) {
        const QJsonValue value = json.value(QLatin1String(key));
        if (nullable && value.isNull())
            return value;
        if (value.type() != type)
            return fail(key);
        return value;
    }
    QString text(const QJsonObject& json, const char* key) { return value(json, key, QJsonValue::String).toString(); }
    qint64 integer(const QJsonObject& json, const char* key) {
        const QJsonValue number = value(json, key, QJsonValue::Double);
        if (number.isDouble() && number.toDouble() != double(number.toInteger()))
            fail(key);
        return number.toInteger();
    }
    std::optional<quint32> crc(const QJsonObject& json, const char* key) {
        const QJsonValue found = value(json, key, QJsonValue::String, true);
        if (found.isNull())
            return std::nullopt;
        const QString text = found.toString();
        const bool valid = text.size() == 8 && std::all_of(text.begin(), text.end(),
                                                           [](QChar c) { return hexDigitValue(c.unicode()) >= 0; });
        if (!valid)
            fail(key);
        return text.toUInt(nullptr, 16);
    }
    RecordedCrc crcPair(const QJsonObject& json) { return {crc(json, "read"), crc(json, "expected")}; }

    // Keys the previous version did not write: a record without them is read as one that left
    // them unset; null is unset too.
    QString laterText(const QJsonObject& json, const char* key) {
        return json.contains(QLatin1String(key)) ? text(json, key) : QString();
    }
    std::optional<qint64> laterInteger(const QJsonObject& json, const char* key, qint64 max) {
        const QJsonValue found = json.value(QLatin1String(key));
        if (found.isUndefined() || found.isNull())
            return std::nullopt;
        const qint64 number = integer(json, key);
        if (number < 0 || number > max)
            fail(key);
        return number;
    }
    QJsonValue fail(const char* key) {
        if (ok_)
            *error_ = QStringLiteral("chip record: \"%1\" is missing or not valid").arg(QLatin1String(key));
        ok_ = false;
        return QJsonValue::Undefined;
    }

private:
    QString* error_;
    bool ok_ = true;
};

} // namespace

QString verifyResultText(VerifyResult result) {
    for (const auto& [value, text] : kVerifyTexts) {
        if (value == result)
            return QLatin1String(text);
    }
    return QString();
}

RecordedFile recordedFile(const QString& path) {
    RecordedFile file{path, QString()};
    QFile in(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (in.open(QIODevice::ReadOnly) && hash.addData(&in))
        file.sha256 = QString::fromLatin1(hash.result().toHex());
    return file;
}

QString ChipRecord::newChipRecordId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QJsonObject toJson(const ChipRecord& record) {
    QJsonArray files;
    for (const RecordedFile& file : record.files)
        files.append(QJsonObject{{"path", file.path}, {"sha256", file.sha256}});
    QJsonArray sectors;
    for (const auto& [index, crc] : record.sectorCrcs) {
        QJsonObject sector = crcPairJson(crc);
        sector.insert(QLatin1String("sector"), index);
        sectors.append(sector);
    }
    const auto id = [&](int i) { return QString::number(record.ids[i], 16).rightJustified(2, QLatin1Char('0')); };
    return QJsonObject{
        {"id", record.id},
        {"time", record.time.toUTC().toString(Qt::ISODateWithMs)},
        {"command", record.command},
        {"program_version", record.programVersion},
        {"host", record.host},
        {"port", record.port},
        {"device", record.device},
        {"loader_version", record.loaderVersion},
        {"part", record.partName},
        {"ids", QStringList{id(0), id(1), id(2)}.join(QLatin1Char(' ')).toUpper()},
        {"files", files},
        {"serial_number", record.serialNumber ? QJsonValue(qint64(*record.serialNumber)) : QJsonValue::Null},
        {"serial_address", optionalJson(record.serialAddress)},
        {"serial_bytes", record.serialBytes},
        {"serial_format", record.serialFormat},
        {"serial_void", record.serialVoid},
        {"crcs", QJsonObject{{"sectors", sectors}, {"global", crcPairJson(record.globalCrc)}}},
        {"sectors_sent", optionalJson(record.sectorsSent)},
        {"sectors_unchanged", optionalJson(record.sectorsUnchanged)},
        {"verify", verifyResultText(record.verify)},
        {"exit_status", record.exitStatus},
        {"error", record.error},
        {"duration_ms", record.durationMs},
    };
}

std::optional<ChipRecord> chipRecordFromJson(const QJsonObject& json, QString* error) {
    Reader read(error);
    ChipRecord record;
    record.id = read.text(json, "id");
    record.time = QDateTime::fromString(read.text(json, "time"), Qt::ISODateWithMs);
    if (!record.time.isValid())
        read.fail("time");
    record.command = read.laterText(json, "command");
    record.programVersion = read.laterText(json, "program_version");
    record.host = read.text(json, "host");
    record.port = read.text(json, "port");
    record.device = read.text(json, "device");
    record.loaderVersion = read.text(json, "loader_version");
    record.partName = read.text(json, "part");
    const QStringList ids = read.text(json, "ids").split(QLatin1Char(' '));
    for (int i = 0; i < int(record.ids.size()); ++i) {
        bool valid = ids.size() == int(record.ids.size()) && ids[i].size() == 2;
        record.ids[i] = valid ? static_cast<quint8>(ids[i].toUInt(&valid, 16)) : 0;
        if (!valid)
            read.fail("ids");
    }
    for (const QJsonValue& file : read.value(json, "files", QJsonValue::Array).toArray())
        record.files.append({read.text(file.toObject(), "path"), read.text(file.toObject(), "sha256")});
    const QJsonValue serial = read.value(json, "serial_number", QJsonValue::Double, true);
    if (!serial.isNull())
        record.serialNumber = quint64(read.integer(json, "serial_number"));
    if (const auto address = read.laterInteger(json, "serial_address", 0xFFFFFFFF))
        record.serialAddress = quint32(*address);
    record.serialBytes = int(read.laterInteger(json, "serial_bytes", kIntMax).value_or(0));
    record.serialFormat = read.laterText(json, "serial_format");
    if (std::none_of(kSerialFormats.begin(), kSerialFormats.end(),
                     [&](const char* format) { return record.serialFormat == QLatin1String(format); }))
        read.fail("serial_format");
    record.serialVoid = read.value(json, "serial_void", QJsonValue::Bool).toBool();
    const QJsonObject crcs = read.value(json, "crcs", QJsonValue::Object).toObject();
    for (const QJsonValue& sector : read.value(crcs, "sectors", QJsonValue::Array).toArray())
        record.sectorCrcs[int(read.integer(sector.toObject(), "sector"))] = read.crcPair(sector.toObject());
    record.globalCrc = read.crcPair(read.value(crcs, "global", QJsonValue::Object).toObject());
    if (const auto sent = read.laterInteger(json, "sectors_sent", kIntMax))
        record.sectorsSent = int(*sent);
    if (const auto unchanged = read.laterInteger(json, "sectors_unchanged", kIntMax))
        record.sectorsUnchanged = int(*unchanged);
    const QString verify = read.text(json, "verify");
    const auto known = std::find_if(kVerifyTexts.begin(), kVerifyTexts.end(),
                                    [&](const auto& entry) { return verify == QLatin1String(entry.second); });
    if (known == kVerifyTexts.end())
        read.fail("verify");
    else
        record.verify = known->first;
    record.exitStatus = int(read.integer(json, "exit_status"));
    record.error = read.text(json, "error");
    record.durationMs = read.integer(json, "duration_ms");
    if (!read.ok())
        return std::nullopt;
    return record;
}

} // namespace zelvan
