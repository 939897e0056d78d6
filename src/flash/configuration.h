#pragma once

#include "common/ending.h"
#include "common/questions.h"
#include "device/device_catalogue.h"
#include "link/link_context.h"

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
// The byte at a configuration address (00..03), or nullptr.
const ConfigByte* configByteAt(int address);
// The byte the command line calls key ("ucfg1", "bootv", ...), or nullptr.
const ConfigByte* configByteNamed(const QString& key);

// The value a configuration or security read returns (two characters after the echo), or the
// failed outcome when the read was refused or not answered.
struct ConfigRead {
    Outcome outcome = Outcome::NoAnswer;
    QString value;
    bool ok() const { return outcome == Outcome::Acknowledged; }
};
ConfigRead readConfigValue(IspLink& link, int address);
// Writes a value (two hex digits) to a configuration address; done when acknowledged (a refusal
// next to a "." is a refusal).
Result writeConfigValue(IspLink& link, int address, const QString& value);

struct ConfigEdit : Result {
    std::optional<QString> current; // the value read; nothing when the read failed
    QString written;                // the value written, when one was
};

// Reads the byte, asks for its new value (offering the current one) and writes it. A read that
// failed ends it with nothing asked and nothing written; no value given ends it as interrupted.
ConfigEdit editConfigByte(LinkContext& ctx, Questions& questions, const ConfigByte& byte);

struct SecurityWalk : Result {
    QList<int> written;    // the sectors whose new value was written and acknowledged
    QList<int> notWritten; // the sectors whose write was refused or not answered
    int lastSector = -1;   // the sector the walk ended at
    bool readFailed = false;
};

// Walks every sector of the part: reads its security byte, asks for the new value and writes it.
// A failed read or no value given ends the walk, a failed write does not. Done when every sector
// was written and acknowledged. Reports each sector's closing line as a step.
SecurityWalk programSecurityBytes(LinkContext& ctx, Questions& questions, const DeviceGeometry& geometry);

// The closing line of a sector of the walk: "Programming Security Byte for Sector  3".
QString securityPhrase(int sector);

// Sends the record that clears the configuration protection.
Result clearConfigurationProtection(LinkContext& ctx);

} // namespace zelvan
