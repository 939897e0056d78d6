#pragma once

#include "device/device_catalogue.h"
#include "programmer/command_context.h"
#include "programmer/outcome_report.h"

#include <QString>

#include <optional>
#include <span>

namespace zelvan {

// One of the four configuration bytes the window reads and writes; one procedure serves all.
struct ConfigByte {
    int address;             // configuration address: 00 UCFG1, 01 UCFG2, 02 boot vector, 03 status byte
    QString name;            // "UCFG1": in "Reading UCFG1...", "Program UCFG1", "UCFG1 Value"
    QString firstPromptLine; // "User Configuration Byte 1 Value (Hex) is: "
    QString secondPromptLine;
    QString key; // "ucfg1": how the command line names it
    // "Programming UCFG1": with "...", ": Done", ": Error", ": Interrupted" on the status line.
    QString phrase() const { return QStringLiteral("Programming ") + name; }
};

// UCFG1, UCFG2, the boot vector and the status byte, in the order of their addresses.
std::span<const ConfigByte> configBytes();
const ConfigByte& ucfg1Byte();
const ConfigByte& ucfg2Byte();
const ConfigByte& bootVectorByte();
const ConfigByte& statusByte();

// The value a configuration or security read returns (two characters after the echo), or the
// failed outcome when the read was refused or not answered.
struct ConfigRead {
    Outcome outcome = Outcome::NoAnswer;
    QString value;
    bool ok() const { return outcome == Outcome::Acknowledged; }
};
ConfigRead readConfigValue(IspLink& link, int address);
// Writes a value (two hex digits) to a configuration address; true when acknowledged (a refusal
// next to a "." is a refusal).
bool writeConfigValue(IspLink& link, int address, const QString& value);

// Reads the byte, shows it in an input box and writes the value the user enters. A read that
// failed ends the command with its error box and writes nothing. True when a value was written
// and acknowledged.
bool editConfigByte(CommandContext& ctx, const ConfigByte& byte);

// Walks every sector of the part: reads its security byte, asks for the new value and writes it.
// A failed read or a cancel ends the pass, a failed write does not. True when every sector was
// written and acknowledged.
bool programSecurityBytes(CommandContext& ctx, const DeviceGeometry& geometry);

// Sends the record that clears the configuration protection. True when acknowledged.
bool clearConfigurationProtection(CommandContext& ctx);

} // namespace zelvan
