#include "board_model.h"

#include "common/hex_text.h"
#include "link/isp_commands.h"

namespace zelvan::sim {

namespace {

int hexValue(char c) {
    return hexDigitValue(static_cast<uchar>(c));
}

QByteArray hexByte(quint8 value) {
    return QByteArray::number(value, 16).rightJustified(2, '0').toUpper();
}

QByteArray hex32(quint32 value) {
    return QByteArray::number(value, 16).rightJustified(8, '0').toUpper();
}

// The byte the bootloader image holds at an address: never 0x00, so that an erase shows.
char bootloaderByte(int address) {
    return static_cast<char>(((address * 7) ^ 0x5A) | 0x01);
}

} // namespace

BoardModel::BoardModel(const Ids& ids, const DeviceGeometry& geometry)
    : ids_(ids)
    , geometry_(geometry) {
    insertChip();
}

void BoardModel::removeChip() {
    chipPresent_ = false;
}

void BoardModel::insertChip() {
    flash_ = QByteArray(geometry_.flashSize(), '\0');
    for (int address = geometry_.intBootloaderAddr; address < geometry_.flashSize(); ++address)
        flash_[address] = bootloaderByte(address);
    config_.fill(0x00);   // security bytes included
    config_[0x00] = 0x63; // UCFG1
    config_[0x01] = 0x00; // UCFG2
    config_[0x02] = geometry_.intBootloaderAddr < geometry_.flashSize() ? geometry_.intBootloaderAddr >> 8 : 0x00;
    config_[0x03] = 0x00; // status byte
    chipPresent_ = true;
}

BoardModel BoardModel::forPart(const CatalogueEntry& part) {
    Ids ids;
    ids.deviceId2 = static_cast<quint8>(QByteArray(part.deviceId2).toUInt(nullptr, 16));
    return BoardModel(ids, part.geometry);
}

QByteArray BoardModel::bootloaderImage() const {
    QByteArray image;
    for (int address = geometry_.intBootloaderAddr; address < geometry_.flashSize(); ++address)
        image.append(bootloaderByte(address));
    return image;
}

bool BoardModel::isSecurityAddress(int address) const {
    // Sectors 0..7 keep their security bytes at 08..0F, sectors 8..15 at 18..1F.
    const int sectors = geometry_.sectorCount();
    if (address >= 0x08 && address <= 0x0F)
        return address - 0x08 < sectors;
    if (address >= 0x18 && address <= 0x1F)
        return address - 0x10 < sectors;
    return false;
}

std::optional<quint8> BoardModel::configByte(int address) const {
    if ((address >= 0 && address <= 3) || isSecurityAddress(address))
        return config_[address];
    return std::nullopt;
}

void BoardModel::setConfigByte(int address, quint8 value) {
    config_[address & 0xFF] = value;
}

quint32 BoardModel::globalCrc() const {
    return signature(crcVariant_, flash_);
}

quint32 BoardModel::sectorCrc(int firstAddress) const {
    return signature(crcVariant_, QByteArrayView(flash_).sliced(firstAddress, geometry_.intSectorSize));
}

std::optional<Reply> BoardModel::receive(char byte) {
    switch (frame_) {
    case Frame::Idle:
        if (byte == 'U' || byte == 'P' || byte == 'S')
            return finishLetter(byte);
        if (byte == ':') {
            frame_ = Frame::Text;
            pending_.clear();
            expected_ = 2;
        } else if (byte == 'Q') {
            frame_ = Frame::QuickColon;
        }
        return std::nullopt; // line ends and anything unknown between commands are ignored
    case Frame::Text: {
        if (hexValue(byte) < 0) {
            // A broken record: refuse it; a ":" starts the next one.
            frame_ = Frame::Idle;
            received_.append(QStringLiteral(":") + QString::fromLatin1(pending_));
            Record broken;
            broken.type = -1;
            broken.body = pending_;
            std::optional<Reply> refusal = answer(&broken, 0, ':' + pending_);
            if (byte == ':') {
                frame_ = Frame::Text;
                pending_.clear();
                expected_ = 2;
            }
            return refusal;
        }
        pending_.append(byte);
        if (pending_.size() == 2)
            expected_ = 10 + 2 * QByteArray(pending_).toInt(nullptr, 16);
        if (pending_.size() < expected_)
            return std::nullopt;
        frame_ = Frame::Idle;
        return finishTextRecord();
    }
    case Frame::QuickColon:
        frame_ = byte == ':' ? Frame::Quick : Frame::Idle;
        pending_.clear();
        expected_ = 1;
        return std::nullopt;
    case Frame::Quick:
        pending_.append(byte);
        if (pending_.size() == 1)
            expected_ = static_cast<quint8>(byte) + 6; // count, address (2), type, data, checksum, 0x00
        if (pending_.size() < expected_)
            return std::nullopt;
        frame_ = Frame::Idle;
        return finishQuickRecord();
    }
    return std::nullopt;
}

std::optional<Reply> BoardModel::finishLetter(char letter) {
    received_.append(QString(QLatin1Char(letter)));
    return answer(nullptr, letter, QByteArray());
}

std::optional<Reply> BoardModel::finishTextRecord() {
    received_.append(QStringLiteral(":") + QString::fromLatin1(pending_));
    const QByteArray echo = ':' + pending_;
    Record record;
    quint8 sum = 0;
    QByteArray bytes;
    for (qsizetype i = 0; i + 1 < pending_.size(); i += 2) {
        const quint8 value = static_cast<quint8>(hexValue(pending_[i]) * 16 + hexValue(pending_[i + 1]));
        bytes.append(static_cast<char>(value));
        sum += value;
    }
    record.count = static_cast<quint8>(bytes[0]);
    record.address = (static_cast<quint8>(bytes[1]) << 8) | static_cast<quint8>(bytes[2]);
    record.type = static_cast<quint8>(bytes[3]);
    record.data = bytes.mid(4, record.count);
    record.body = pending_.left(pending_.size() - 2);
    if (sum != 0) {
        // A checksum that does not add up: the board refuses the record without carrying it out.
        Record invalid = record;
        invalid.type = -1;
        return answer(&invalid, 0, echo);
    }
    return answer(&record, 0, echo);
}

std::optional<Reply> BoardModel::finishQuickRecord() {
    received_.append(QStringLiteral("Q:") + QString::fromLatin1(pending_.toHex().toUpper()));
    Record record;
    quint8 sum = 0;
    for (qsizetype i = 0; i + 1 < pending_.size(); ++i)
        sum += static_cast<quint8>(pending_[i]);
    record.count = static_cast<quint8>(pending_[0]);
    record.address = (static_cast<quint8>(pending_[1]) << 8) | static_cast<quint8>(pending_[2]);
    record.type = static_cast<quint8>(pending_[3]);
    record.data = pending_.mid(4, record.count);
    record.body = pending_.left(4 + record.count).toHex().toUpper();
    if (sum != 0 || pending_.back() != '\0')
        record.type = -1;
    return answer(&record, 0, QByteArray());
}

const FaultRule* BoardModel::ruleFor(const Record* record, char letter) {
    ruleMatches_.resize(faults_.rules.size(), 0);
    for (size_t i = 0; i < faults_.rules.size(); ++i) {
        const FaultRule& rule = faults_.rules[i];
        bool matches = false;
        if (letter != 0)
            matches = rule.letter == letter;
        else if (record)
            matches = (rule.recordType >= 0 && rule.recordType == record->type) ||
                      (!rule.bodyPrefix.isEmpty() && record->body.startsWith(rule.bodyPrefix));
        if (!matches)
            continue;
        ++ruleMatches_[i];
        if (rule.occurrence == 0 || rule.occurrence == ruleMatches_[i])
            return &rule;
    }
    return nullptr;
}

std::optional<Reply> BoardModel::answer(const Record* record, char letter, const QByteArray& echo) {
    if (faults_.silent || hungUp())
        return std::nullopt;
    if (faults_.silentAfterUnits >= 0 && unitsAnswered_ >= faults_.silentAfterUnits)
        return std::nullopt;
    if (letter == 'U' && faults_.noSync)
        return std::nullopt;
    if (record && record->type == static_cast<int>(RecordType::LoaderVersion) && faults_.noVersion)
        return std::nullopt;
    const FaultRule* rule = ruleFor(record, letter);
    if (rule && rule->action == FaultRule::Action::Silent)
        return std::nullopt;
    ++unitsAnswered_;

    Reply reply;
    reply.bytes = faults_.garbagePrefix + echo;
    if (rule && rule->action == FaultRule::Action::Refuse) {
        reply.bytes += 'X';
    } else if (rule && rule->action == FaultRule::Action::Answer) {
        reply.bytes += rule->cannedAnswer;
    } else if (rule && rule->action == FaultRule::Action::Ignore) {
        reply.bytes += '.';
    } else if (letter == 'U') {
        reply.bytes += 'U';
    } else if (letter != 0) {
        reply.bytes += '.'; // "P" and "S": the board switches the target's mode or power
    } else {
        const auto& table = recordTable();
        const auto handler = record->type >= 0 ? table.find(record->type) : table.end();
        const bool boardAnswers = chipPresent_ || record->type == static_cast<int>(RecordType::LoaderVersion);
        const Outcome outcome = handler == table.end() ? Outcome{}
                                : boardAnswers         ? handler->second(*this, *record)
                                                       : emptySocket(*record);
        reply.bytes += outcome.data ? *outcome.data + '.' : QByteArray("X");
        reply.busy = outcome.busy;
    }
    reply.busy += faults_.answerDelay;
    if (rule && rule->action == FaultRule::Action::Late)
        reply.busy += rule->lateBy;
    return reply;
}

const std::map<int, BoardModel::RecordHandler>& BoardModel::recordTable() {
    const auto type = [](RecordType t) { return static_cast<int>(t); };
    static const std::map<int, RecordHandler> table{
        {type(RecordType::Program), &BoardModel::program},
        {type(RecordType::LoaderVersion), &BoardModel::readVersion},
        {type(RecordType::ConfigWrite), &BoardModel::writeConfig},
        {type(RecordType::ConfigRead), &BoardModel::readMisc},
        {type(RecordType::Erase), &BoardModel::erase},
        {type(RecordType::SectorCrc), &BoardModel::readSectorCrc},
        {type(RecordType::GlobalCrc), &BoardModel::readGlobalCrc},
        {type(RecordType::ChipErase), &BoardModel::eraseChip},
    };
    return table;
}

BoardModel::Outcome BoardModel::program(const Record& record) {
    if (record.count == 0 || record.address + record.count > geometry_.flashSize())
        return {};
    flash_.replace(record.address, record.count, record.data);
    return {QByteArray(), times_.pageProgram};
}

BoardModel::Outcome BoardModel::readVersion(const Record& record) {
    if (record.count != 0)
        return {};
    return {versionText_, microseconds{0}};
}

BoardModel::Outcome BoardModel::writeConfig(const Record& record) {
    if (record.count != 2)
        return {};
    const int address = static_cast<quint8>(record.data[0]);
    const quint8 value = static_cast<quint8>(record.data[1]);
    if (address == configAddress::kClearProtection) {
        // Address 10 with 00 clears the configuration protection; nothing else is written there.
        if (value != 0)
            return {};
        ++protectionClears_;
        return {QByteArray(), microseconds{0}};
    }
    if (!configByte(address))
        return {};
    config_[address] = value;
    return {QByteArray(), microseconds{0}};
}

BoardModel::Outcome BoardModel::readMisc(const Record& record) {
    if (record.count != 1)
        return {};
    const int address = static_cast<quint8>(record.data[0]);
    switch (address) {
    case configAddress::kManufacturerId:
        return {hexByte(ids_.manufacturer), microseconds{0}};
    case configAddress::kDeviceId1:
        return {hexByte(ids_.deviceId1), microseconds{0}};
    case configAddress::kDeviceId2:
        return {hexByte(ids_.deviceId2), microseconds{0}};
    default:
        break;
    }
    const std::optional<quint8> value = configByte(address);
    if (!value)
        return {};
    return {hexByte(*value), microseconds{0}};
}

BoardModel::Outcome BoardModel::erase(const Record& record) {
    if (record.count != 3)
        return {};
    const int kind = static_cast<quint8>(record.data[0]);
    const int address = (static_cast<quint8>(record.data[1]) << 8) | static_cast<quint8>(record.data[2]);
    const int unit = kind == static_cast<int>(EraseUnit::Page)     ? geometry_.intPageSize
                     : kind == static_cast<int>(EraseUnit::Sector) ? geometry_.intSectorSize
                                                                   : 0;
    if (unit <= 0 || address % unit != 0 || address >= geometry_.flashSize())
        return {};
    flash_.replace(address, unit, QByteArray(unit, '\0'));
    return {QByteArray(), kind == 0 ? times_.pageErase : times_.sectorErase};
}

BoardModel::Outcome BoardModel::readSectorCrc(const Record& record) {
    if (record.count != 1)
        return {};
    const int address = static_cast<quint8>(record.data[0]) << 8;
    if (geometry_.intSectorSize <= 0 || address % geometry_.intSectorSize != 0 || address >= geometry_.flashSize())
        return {};
    return {hex32(sectorCrc(address)), microseconds{0}};
}

BoardModel::Outcome BoardModel::readGlobalCrc(const Record& record) {
    if (record.count != 0)
        return {};
    return {hex32(globalCrc()), microseconds{0}};
}

BoardModel::Outcome BoardModel::eraseChip(const Record& record) {
    if (record.count != 0)
        return {};
    flash_.fill('\0');
    return {QByteArray(), times_.chipErase};
}

BoardModel::Outcome BoardModel::emptySocket(const Record& record) const {
    // The identification bytes are read off the target's lines, which float high with no chip on
    // them: the reads still answer, with FF, which is how an empty socket shows.
    if (record.type != static_cast<int>(RecordType::ConfigRead) || record.count != 1)
        return {};
    const int address = static_cast<quint8>(record.data[0]);
    if (address == configAddress::kManufacturerId || address == configAddress::kDeviceId1 ||
        address == configAddress::kDeviceId2)
        return {hexByte(0xFF), microseconds{0}};
    return {};
}

} // namespace zelvan::sim
