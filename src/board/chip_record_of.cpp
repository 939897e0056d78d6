#include "chip_record_of.h"

namespace zelvan {

namespace {

void noteVerification(ChipRecord& record, const Verification& verification) {
    record.sectorCrcs = verification.sectors;
    record.globalCrc = verification.global;
    record.verify = verification.done()                       ? VerifyResult::Passed
                    : verification.ending == Ending::Mismatch ? VerifyResult::Failed
                                                              : VerifyResult::NotVerified;
}

} // namespace

ChipRecord chipRecordOf(const Board& board, Command command, const CommandRequest& request,
                        const CommandResult& result) {
    ChipRecord record;
    record.command = QString::fromLatin1(commandRow(command).cliWords);
    record.port = board.link().portLabel();
    record.device = board.link().deviceName();
    record.loaderVersion = board.version();
    if (const std::optional<Part>& part = board.part()) {
        record.partName = part->name();
        const auto byte = [](const QString& text) { return static_cast<quint8>(text.toUInt(nullptr, 16)); };
        record.ids = {byte(part->ids.manufacturer), byte(part->ids.deviceId1), byte(part->ids.deviceId2)};
    }
    if (const auto* programmed = result.as<ChipProgramming>()) {
        record.serialNumber = programmed->serialNumber;
        record.sectorsSent = programmed->sectorsSent;
        record.sectorsUnchanged = programmed->sectorsUnchanged;
        if (programmed->verification)
            noteVerification(record, *programmed->verification);
    }
    if (const auto* verification = result.as<Verification>())
        noteVerification(record, *verification);
    if (const SerialNumbering* serial = request.program.serial) {
        record.serialAddress = serial->place.address;
        record.serialBytes = serial->place.bytes;
        record.serialFormat = serialFormatName(serial->place.format);
    }
    record.serialVoid = record.serialNumber.has_value() && !result.done();
    return record;
}

} // namespace zelvan
