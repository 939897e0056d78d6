#pragma once

#include "command_call.h"

// The operations the command table runs; see command_table.cpp for which command runs which.
namespace zelvan::operations {

CommandResult icpMode(CommandCall& call);
CommandResult powerOff(CommandCall& call);
CommandResult loaderVersion(CommandCall& call);
CommandResult identify(CommandCall& call);
CommandResult eraseWholeChip(CommandCall& call);
CommandResult erasePages(CommandCall& call);
CommandResult eraseSectors(CommandCall& call);
CommandResult globalCrc(CommandCall& call);
CommandResult sectorCrcs(CommandCall& call);
CommandResult program(CommandCall& call);
CommandResult editConfiguration(CommandCall& call);
CommandResult editSecurity(CommandCall& call);
CommandResult clearProtection(CommandCall& call);
CommandResult automation(CommandCall& call);
CommandResult verify(CommandCall& call);
CommandResult compareGolden(CommandCall& call);
CommandResult saveGolden(CommandCall& call);
CommandResult calibrateCrc(CommandCall& call);
CommandResult configGet(CommandCall& call);
CommandResult configSet(CommandCall& call);
CommandResult securityGet(CommandCall& call);
CommandResult securitySet(CommandCall& call);

} // namespace zelvan::operations
