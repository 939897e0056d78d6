// Loading Intel HEX files into the image cache and programming it into the flash.

#include "session.h"

#include "firmware/firmware_loading.h"
#include "firmware/programming.h"

namespace zelvan {

void Session::cmdLoadFirmware_Click() {
    if (!part_)
        return;
    CommandContext ctx = context();
    const QString path = loadFirmwareFile(ctx, firmware_, part_->intFlashLastAddr, firmwareLoaded());
    if (path.isEmpty())
        return;
    setEnabled(Command::ProgramFirmware, true);
    setEnabled(Command::ClearFirmware, true);
    setFirmwareLabel(firmwareLabel_ + path);
}

bool Session::cmdProgramFirmware_Click() {
    if (!part_)
        return false;
    CommandContext ctx = context();
    countProgressIn(QStringLiteral("pages"));
    return programFirmware(ctx, firmware_, *part_, quickMode_, protect_).done();
}

} // namespace zelvan
