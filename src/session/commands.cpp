#include "commands.h"

#include <array>

namespace zelvan {

namespace {

constexpr std::array<CommandInfo, kCommandCount> kCommands{{
    {Command::ICP, "cmdICP", "Enter ICP Mode"},
    {Command::OFF, "cmdOFF", "LPC Pwr Off"},
    {Command::ErasePage, "cmdErasePage", "Erase Page(s)", true},
    {Command::Version, "cmdVersion", "ICP/ISP Version"},
    {Command::GetID, "cmdGetID", "Get LPC ID"},
    {Command::EraseChip, "cmdEraseChip", "Erase Chip"},
    {Command::StatusByte, "cmdStatusByte", "Status Byte"},
    {Command::ProgramFirmware, "cmdProgramFirmware", "Program Firmware", true},
    {Command::EraseSector, "cmdEraseSector", "Erase Sector(s)", true},
    {Command::SetBootVector, "cmdSetBootVector", "Boot Vector"},
    {Command::UCFG1, "cmdUCFG1", "UCFG1"},
    {Command::UCFG2, "cmdUCFG2", "UCFG2"},
    {Command::ProgramSecurity, "cmdProgramSecurity", "Security"},
    {Command::CCP, "cmdCCP", "Clear Conf. P."},
    {Command::GetGlobalCRC, "cmdGetGlobalCRC", "Global CRC"},
    {Command::GetSectorCRC, "cmdGetSectorCRC", "Sector CRC", true},
    {Command::AutoConnect, "cmdAutoConnect", "Auto Connect"},
    {Command::ClearFirmware, "cmdClearFirmware", "Clear Firmware"},
    {Command::LoadFirmware, "cmdLoadFirmware", "Load Firmware"},
    {Command::AutoProcedure, "cmdAutoProcedure", "Auto Program", true},
}};

} // namespace

std::span<const CommandInfo> commandTable() {
    return kCommands;
}

const CommandInfo& commandInfo(Command command) {
    return kCommands[static_cast<size_t>(command)];
}

} // namespace zelvan
