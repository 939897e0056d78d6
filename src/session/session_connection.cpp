// The programmer connection, identification and the image cache.

#include "session.h"

#include "board/port_messages.h"
#include "common/system_texts.h"

namespace zelvan {

void Session::cmdAutoConnect_Click() {
    BusyPointer busy(dialogs_);
    setStageEnabled(Availability::Searching, true);
    const Connection found = board_.search(*this);
    if (!found.done()) {
        setPortMarks(false, checkedPort_);
        setStatus(QStringLiteral("Not connected: programmer not found"));
        // A board may sit behind a port that could not be opened: say which, and why.
        if (!found.unopenable.isEmpty())
            dialogs_.messageBox(notFoundText(found.unopenable), QStringLiteral("Auto Connect"));
        return;
    }
    // The port found is opened again from the port menu, which marks it.
    mnuFileSelectCOM_Click(found.port);
    setPortMarks(true, checkedPort_);
    setStatus(QStringLiteral("Loader Version: ") + found.version);
    setStageEnabled(Availability::VersionRead, true);
    cmdGetID_Click();
}

void Session::mnuFileSelectCOM_Click(int index) {
    const Connection opened = board_.openPort(index);
    if (opened.done())
        setPortMarks(false, index);
    else
        dialogs_.messageBox(portOpenErrorText(opened.unopenable.constFirst()), systemText::kPortErrorTitle);
}

void Session::mnuFileBaud9600_Click() {
    board_.link().setBaud9600(true);
    emit portMarksChanged();
}

void Session::mnuFileBaud57600_Click() {
    board_.link().setBaud9600(false);
    emit portMarksChanged();
}

void Session::cmdGetID_Click() {
    BusyPointer busy(dialogs_);
    const Identification identified = board_.identify(*this);
    if (!identified.part) {
        setStatus(QStringLiteral("CPU ID Read Failed"));
        return; // a failed read leaves the previous identification in force
    }
    const Part& part = *identified.part;
    setFoundCpu(part.description());
    sectorRange_.fill(part.geometry.intFlashLastAddr, part.geometry.intSectorSize);
    pageRange_.fill(part.geometry.intFlashLastAddr, part.geometry.intPageSize);

    const bool nothingBehindBoard = identified.nothingBehindBoard();
    if (nothingBehindBoard)
        dialogs_.messageBox(QStringLiteral("The LPC device seems to be not connected or unpowered. Please check."),
                            QStringLiteral("LPC ID"));
    setStageEnabled(Availability::Identified, !nothingBehindBoard);
    // The loaded bytes stay: they are laid out anew for the part found, never read again from the
    // files (which may have changed since they were loaded). The identification line stays the
    // last status line.
    firmware_ = FirmwareCache::layOut(loaded_, part.geometry.intFlashLastAddr);
    if (!firmwareLoaded()) {
        setFirmwareLabel(QStringLiteral("Firmware: "));
        return;
    }
    setFirmwareLabel(QStringLiteral("Firmware: ") + loadedPaths_.join(QString()) +
                     QStringLiteral(" (kept for the %1)").arg(part.name()));
    setEnabled(Command::ProgramFirmware, !nothingBehindBoard);
    if (loaded_.reachesBeyond(part.geometry.intFlashLastAddr))
        warnOverFlash();
}

void Session::cmdClearFirmware_Click() {
    loaded_ = HexImage();
    loadedPaths_.clear();
    if (const std::optional<DeviceGeometry> geometry = part())
        firmware_ = FirmwareCache::layOut(loaded_, geometry->intFlashLastAddr);
    setEnabled(Command::ProgramFirmware, false);
    setEnabled(Command::ClearFirmware, false);
    setFirmwareLabel(QStringLiteral("Firmware: "));
}

} // namespace zelvan
