#include "isp_commands.h"

#include "common/hex_text.h"

namespace zelvan {

int configAddress::securityByte(int sector) {
    return sector < 8 ? 0x08 + sector : 0x10 + sector;
}

QString recordBody(RecordType type, QStringView dataText, int address) {
    return strDecToHex8(static_cast<int>(dataText.size() / 2)) + strDecToHex16(address) +
           strDecToHex8(static_cast<int>(type)) + dataText.toString();
}

QString loaderVersionBody() {
    return recordBody(RecordType::LoaderVersion);
}

QString configReadBody(int address) {
    return recordBody(RecordType::ConfigRead, strDecToHex8(address));
}

QString configWriteBody(int address, const QString& value) {
    return recordBody(RecordType::ConfigWrite, strDecToHex8(address) + value);
}

QString eraseBody(EraseUnit unit, int address) {
    return recordBody(RecordType::Erase, strDecToHex8(static_cast<int>(unit)) + strDecToHex16(address));
}

QString sectorCrcBody(int sectorAddress) {
    return recordBody(RecordType::SectorCrc, strDecToHex16(sectorAddress).left(2));
}

QString globalCrcBody() {
    return recordBody(RecordType::GlobalCrc);
}

QString chipEraseBody() {
    return recordBody(RecordType::ChipErase);
}

QString programBody(int address, QStringView dataText) {
    return recordBody(RecordType::Program, dataText, address);
}

} // namespace zelvan
