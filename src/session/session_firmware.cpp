// Loading Intel HEX files into the image cache and programming it into the flash.

#include "session.h"

#include "firmware/firmware_loading.h"
#include "firmware/programming.h"

namespace zelvan {

void Session::cmdLoadFirmware_Click() {
    CommandContext ctx = context();
    const QString path =
        loadFirmwareFile(ctx, firmware_, geometry_.intFlashLastAddr, isEnabled(Command::ClearFirmware));
    if (path.isEmpty())
        return;
    setEnabled(Command::ProgramFirmware, true);
    setEnabled(Command::ClearFirmware, true);
    setFirmwareLabel(firmwareLabel_ + path);
}

bool Session::cmdProgramFirmware_Click() {
    CommandContext ctx = context();
    return programFirmware(ctx, firmware_, geometry_, quickMode_,
                           [this](int done, int total) { emit progressChanged(done, total); });
}

} // namespace zelvan
