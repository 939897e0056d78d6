// Erasing and CRC read-back.

#include "session.h"

#include "flash/crc_readback.h"
#include "flash/erasing.h"

namespace zelvan {

bool Session::cmdEraseChip_Click() {
    CommandContext ctx = context();
    return eraseChip(ctx, protectForRun_);
}

bool Session::cmdErasePage_Click() {
    CommandContext ctx = context();
    countProgressIn(QStringLiteral("pages"));
    // Protection as it stands when the command starts; a change applies to the next command.
    return part_ &&
           eraseRange(ctx, pageErase(), *part_, pageRange_.startIndex(), pageRange_.endIndex(), protectForRun_).done();
}

bool Session::cmdEraseSector_Click() {
    CommandContext ctx = context();
    countProgressIn(QStringLiteral("sectors"));
    return part_ &&
           eraseRange(ctx, sectorErase(), *part_, sectorRange_.startIndex(), sectorRange_.endIndex(), protectForRun_).done();
}

bool Session::cmdGetGlobalCRC_Click() {
    CommandContext ctx = context();
    return readGlobalCrc(ctx).has_value();
}

bool Session::cmdGetSectorCRC_Click() {
    CommandContext ctx = context();
    countProgressIn(QStringLiteral("sectors"));
    return part_ &&
           readSectorCrcs(ctx, part_->intSectorSize, sectorRange_.startIndex(), sectorRange_.endIndex()).ending ==
               Ending::Done;
}

} // namespace zelvan
