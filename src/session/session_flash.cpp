// Erasing and CRC read-back.

#include "session.h"

#include "flash/crc_readback.h"
#include "flash/erasing.h"

namespace zelvan {

bool Session::cmdEraseChip_Click() {
    CommandContext ctx = context();
    return eraseChip(ctx, protect_);
}

bool Session::cmdErasePage_Click() {
    CommandContext ctx = context();
    return eraseRange(ctx, pageErase(), geometry_.intPageSize, geometry_.intBootloaderAddr, pageRange_.startIndex(),
                      pageRange_.endIndex(), [this] { return protect_; });
}

bool Session::cmdEraseSector_Click() {
    CommandContext ctx = context();
    return eraseRange(ctx, sectorErase(), geometry_.intSectorSize, geometry_.intBootloaderAddr,
                      sectorRange_.startIndex(), sectorRange_.endIndex(), [this] { return protect_; });
}

bool Session::cmdGetGlobalCRC_Click() {
    CommandContext ctx = context();
    return readGlobalCrc(ctx);
}

bool Session::cmdGetSectorCRC_Click() {
    CommandContext ctx = context();
    return readSectorCrcs(ctx, geometry_.intSectorSize, sectorRange_.startIndex(), sectorRange_.endIndex());
}

} // namespace zelvan
