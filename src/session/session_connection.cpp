// The programmer connection, the board commands, identification and the image cache.

#include "session.h"

#include "programmer/port_messages.h"

#include "common/busy_pointer.h"
#include "common/system_texts.h"
#include "device/identification.h"
#include "link/port_names.h"
#include "programmer/board_commands.h"
#include "programmer/outcome_report.h"
#include "programmer/programmer_connection.h"

namespace zelvan {

void Session::cmdAutoConnect_Click() {
    CommandContext ctx = context();
    BusyPointer busy(dialogs_);
    setStatus(QStringLiteral("Searching programmer..."));
    setEnabled(Command::ICP, true);
    setEnabled(Command::OFF, true);

    int found = 0;
    QString version;
    QList<PortOpenFailure> unopenable;
    for (int port = 1; port <= kPortCount && !link_.aborted(); ++port) {
        link_.OpenComPort(port);
        link_.processEventsOnce();
        if (!link_.fgPortOpened()) {
            if (isWorthReporting(link_.lastOpenFailure()))
                unopenable.append(link_.lastOpenFailure());
            continue;
        }
        if (!NegotiateBaudrate(ctx))
            continue;
        setStatus(QStringLiteral("Programmer Found. Getting Loader Version..."));
        setEnabled(Command::Version, true);
        if (const std::optional<QString> answer = GetLoaderVersion(ctx)) {
            found = port;
            version = *answer;
            break;
        }
    }
    if (found == 0) {
        setPortMarks(false, checkedPort_);
        setStatus(QStringLiteral("Not connected: programmer not found"));
        // A board may sit behind a port that could not be opened: say which, and why.
        if (!unopenable.isEmpty())
            dialogs_.messageBox(notFoundText(unopenable), QStringLiteral("Auto Connect"));
        return;
    }

    mnuFileSelectCOM_Click(found);
    setPortMarks(true, checkedPort_);
    setStatus(QStringLiteral("Loader Version: ") + version);
    setEnabled(Command::GetID, true);
    cmdGetID_Click();
}

void Session::mnuFileSelectAuto_Click() {
    cmdAutoConnect_Click();
}

void Session::mnuFileSelectCOM_Click(int index) {
    link_.OpenComPort(index);
    if (link_.fgPortOpened())
        setPortMarks(false, index);
    else
        dialogs_.messageBox(portOpenErrorText(link_.lastOpenFailure()), systemText::kPortErrorTitle);
}

void Session::mnuFileBaud9600_Click() {
    link_.setBaud9600(true);
    emit portMarksChanged();
}

void Session::mnuFileBaud57600_Click() {
    link_.setBaud9600(false);
    emit portMarksChanged();
}

void Session::cmdVersion_Click() {
    CommandContext ctx = context();
    const std::optional<QString> version = GetLoaderVersion(ctx);
    // A version that did not come is not shown as the text of an earlier answer.
    setStatus(version ? QStringLiteral("Loader Version: ") + *version
                      : closingStatus(QStringLiteral("Loader Version"), Ending::Error));
    setEnabled(Command::GetID, true);
}

bool Session::cmdICP_Click() {
    CommandContext ctx = context();
    return runBoardCommand(ctx, icpModeCommand());
}

bool Session::cmdOFF_Click() {
    CommandContext ctx = context();
    return runBoardCommand(ctx, powerOffCommand());
}

void Session::cmdGetID_Click() {
    CommandContext ctx = context();
    BusyPointer busy(dialogs_);
    const std::optional<IdBytes> ids = readIdBytes(ctx);
    if (!ids)
        return; // a failed read leaves the previous identification in force

    setFoundCpu(partDescription(ids->manufacturer, ids->deviceId1, ids->deviceId2));
    part_ = geometryForId(ids->deviceId2, part_);
    partId2_ = ids->deviceId2;
    firmware_.recreate(part_->intFlashLastAddr);
    sectorRange_.fill(part_->intFlashLastAddr, part_->intSectorSize);
    pageRange_.fill(part_->intFlashLastAddr, part_->intPageSize);

    static constexpr Command kDeviceCommands[] = {
        Command::StatusByte,   Command::ErasePage,       Command::EraseSector,   Command::LoadFirmware,
        Command::UCFG1,        Command::UCFG2,           Command::EraseChip,     Command::GetSectorCRC,
        Command::GetGlobalCRC, Command::ProgramSecurity, Command::SetBootVector, Command::CCP,
    };
    const bool nothingBehindBoard = ids->allFF();
    if (nothingBehindBoard) {
        dialogs_.messageBox(QStringLiteral("The LPC device seems to be not connected or unpowered. Please check."),
                            QStringLiteral("LPC ID"));
        setEnabled(Command::ProgramFirmware, false);
    }
    for (const Command command : kDeviceCommands)
        setEnabled(command, !nothingBehindBoard);

    // The cache now has the new part's size. What was loaded is read again into it rather than
    // dropped; with nothing behind the board the list waits for the next identification.
    const QStringList files = loadedFiles_;
    cmdClearFirmware_Click();
    busy.release();
    if (nothingBehindBoard)
        loadedFiles_ = files;
    else if (!files.isEmpty())
        reloadFirmware(files);
}

void Session::cmdClearFirmware_Click() {
    firmware_.clear();
    loadedFiles_.clear();
    setEnabled(Command::ProgramFirmware, false);
    setEnabled(Command::ClearFirmware, false);
    setFirmwareLabel(QStringLiteral("Firmware: "));
}

void Session::mnuFileClearFw_Click() {
    cmdClearFirmware_Click();
}

} // namespace zelvan
