#pragma once

#include <span>

namespace zelvan {

// The window's command buttons.
enum class Command {
    ICP,
    OFF,
    ErasePage,
    Version,
    GetID,
    EraseChip,
    StatusByte,
    ProgramFirmware,
    EraseSector,
    SetBootVector,
    UCFG1,
    UCFG2,
    ProgramSecurity,
    CCP,
    GetGlobalCRC,
    GetSectorCRC,
    AutoConnect,
    ClearFirmware,
    LoadFirmware,
    AutoProcedure,
};

// How many command buttons there are.
inline constexpr int kCommandCount = static_cast<int>(Command::AutoProcedure) + 1;

struct CommandInfo {
    Command command;
    const char* objectName; // "cmdICP"
    const char* caption;    // "Enter ICP Mode"
    // Works through many units (pages, sectors, the lines of a file) and looks for the user's stop
    // request between them.
    bool stoppable = false;
};

// Every command with its control name and caption, in the order of the enum.
std::span<const CommandInfo> commandTable();
const CommandInfo& commandInfo(Command command);

} // namespace zelvan
