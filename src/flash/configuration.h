#pragma once

#include "link/command_context.h"

#include <QString>

namespace zelvan {

// One of the four configuration bytes the window reads and writes; one procedure serves all.
struct ConfigByte {
    int address;             // configuration address: 00 UCFG1, 01 UCFG2, 02 boot vector, 03 status byte
    QString name;            // "UCFG1": in "Reading UCFG1...", "Program UCFG1", "UCFG1 Value"
    QString firstPromptLine; // "User Configuration Byte 1 Value (Hex) is: "
    QString secondPromptLine;
    // "Programming UCFG1": with "...", ": Done", ": Error", ": Interrupted" on the status line.
    QString phrase() const { return QStringLiteral("Programming ") + name; }
};

const ConfigByte& ucfg1Byte();
const ConfigByte& ucfg2Byte();
const ConfigByte& bootVectorByte();
const ConfigByte& statusByte();

// Reads the byte, shows it in an input box and writes the value the user enters. True when a
// value was written and acknowledged; false after a cancel or a failed write.
bool editConfigByte(CommandContext& ctx, const ConfigByte& byte);

// The configuration address of a sector's security byte: 08..0F for sectors 0..7, 18..1F for
// sectors 8..15 (10..12 hold the identification bytes; 10 written with 00 clears protection).
int securityAddress(int sector);

// Walks every sector of the part: reads its security byte, asks for the new value and writes it.
// A failed read or a cancel ends the pass, a failed write does not. True when every sector was
// written and acknowledged.
bool programSecurityBytes(CommandContext& ctx, int flashLastAddr, int sectorSize);

// Sends the record that clears the configuration protection. True when acknowledged.
bool clearConfigurationProtection(CommandContext& ctx);

} // namespace zelvan
