#include "configuration.h"

#include "byte_entry.h"

#include "common/system_texts.h"
#include "link/isp_commands.h"

#include <array>

namespace zelvan {

namespace {

const std::array<ConfigByte, 4>& table() {
    static const std::array<ConfigByte, 4> bytes{{
        {configAddress::kUcfg1, QStringLiteral("UCFG1"), QStringLiteral("User Configuration Byte 1 Value (Hex) is: "),
         QStringLiteral("Insert User Configuration Byte 1 New Value (Hex):"), QStringLiteral("ucfg1")},
        {configAddress::kUcfg2, QStringLiteral("UCFG2"), QStringLiteral("User Configuration Byte 2 Value (Hex) is: "),
         QStringLiteral("Insert User Configuration Byte 2 New Value (Hex):"), QStringLiteral("ucfg2")},
        {configAddress::kBootVector, QStringLiteral("Boot Vector"), QStringLiteral("Boot Vector Byte Value (Hex) is: "),
         QStringLiteral("Boot Vector Byte New Value (Hex):"), QStringLiteral("bootv")},
        {configAddress::kStatusByte, QStringLiteral("Status Byte"), QStringLiteral("Status Byte Value (Hex) is: "),
         QStringLiteral("Insert Status Byte New Value (Hex):"), QStringLiteral("status")},
    }};
    return bytes;
}

// Asks for a byte value until one is accepted ("Uncorrect Value" after each entry that is not a
// byte) or the user gives up (an empty entry or cancel: nothing is returned).
std::optional<QString> askByteValue(CommandContext& ctx, const QString& prompt, const QString& title,
                                    const QString& defaultText, const QString& refusalTitle) {
    for (;;) {
        const QString entry = ctx.dialogs.inputBox(prompt, title, defaultText);
        if (entry.isEmpty())
            return std::nullopt;
        if (std::optional<QString> value = normaliseByteEntry(entry))
            return value;
        ctx.dialogs.messageBox(systemText::kUncorrectValue, refusalTitle);
    }
}

} // namespace

std::span<const ConfigByte> configBytes() {
    return table();
}
const ConfigByte& ucfg1Byte() {
    return table()[0];
}
const ConfigByte& ucfg2Byte() {
    return table()[1];
}
const ConfigByte& bootVectorByte() {
    return table()[2];
}
const ConfigByte& statusByte() {
    return table()[3];
}

ConfigRead readConfigValue(IspLink& link, int address) {
    const IspAnswer answer = link.exchangeRecord(configReadBody(address));
    return ConfigRead{answer.outcome, answer.acknowledged() ? answer.data(2) : QString()};
}

bool writeConfigValue(IspLink& link, int address, const QString& value) {
    return link.exchangeRecord(configWriteBody(address, value)).acknowledged();
}

bool editConfigByte(CommandContext& ctx, const ConfigByte& byte) {
    ctx.feedback.setStatus(QStringLiteral("Reading ") + byte.name + QStringLiteral("..."));
    const ConfigRead read = readConfigValue(ctx.link, byte.address);
    if (!read.ok()) {
        // No value came: nothing is offered as the current one, and nothing is written.
        ctx.dialogs.messageBox(failureText(read.outcome), QStringLiteral("Program ") + byte.name);
        ctx.feedback.setStatus(closingStatus(byte.phrase(), Ending::Error));
        return false;
    }

    ctx.feedback.setStatus(byte.phrase() + QStringLiteral("..."));
    const std::optional<QString> value =
        askByteValue(ctx, byte.firstPromptLine + read.value + QStringLiteral("\r\n") + byte.secondPromptLine,
                     QStringLiteral("Program ") + byte.name, read.value, byte.name + QStringLiteral(" Value"));
    if (!value) {
        ctx.feedback.setStatus(closingStatus(byte.phrase(), Ending::Interrupted));
        return false;
    }
    const bool written = writeConfigValue(ctx.link, byte.address, *value);
    ctx.feedback.setStatus(closingStatus(byte.phrase(), endingOf(written)));
    return written;
}

bool programSecurityBytes(CommandContext& ctx, const DeviceGeometry& geometry) {
    if (geometry.intSectorSize <= 0)
        return false;
    bool allWritten = true;
    for (int sector = 0; sector <= geometry.intFlashLastAddr / geometry.intSectorSize; ++sector) {
        // The texts before the number end with a blank and the number brings its own.
        const QString n = QLatin1Char(' ') + QString::number(sector);
        const int address = configAddress::securityByte(sector);
        const QString phrase = QStringLiteral("Programming ") + systemText::kSecurityByteForSector + n;
        ctx.feedback.setStatus(QStringLiteral("Reading ") + systemText::kSecurityByteForSector + n +
                               QStringLiteral("..."));
        const ConfigRead read = readConfigValue(ctx.link, address);
        ctx.feedback.setIndicator(read.ok() ? Led::Green : Led::Red);
        if (!read.ok()) {
            ctx.dialogs.messageBox(failureText(read.outcome), QStringLiteral("Security Bytes"));
            ctx.feedback.setStatus(closingStatus(phrase, Ending::Error));
            return false;
        }

        ctx.feedback.setStatus(phrase + QStringLiteral("..."));
        const QString prompt = systemText::kSecurityByteForSector + n + QStringLiteral(" Value (Hex) is: ") +
                               read.value + QStringLiteral("\r\n") + systemText::kSecurityByteForSector + n +
                               QStringLiteral(" New Value (Hex):");
        const std::optional<QString> value =
            askByteValue(ctx, prompt, QStringLiteral("Program ") + systemText::kSecurityByteForSector + n, read.value,
                         systemText::kSecurityByteForSector + n + QStringLiteral(" Value"));
        if (!value) {
            ctx.feedback.setStatus(closingStatus(phrase, Ending::Interrupted));
            return false;
        }
        const bool written = writeConfigValue(ctx.link, address, *value);
        ctx.feedback.setStatus(closingStatus(phrase, endingOf(written)));
        allWritten = allWritten && written;
    }
    return allWritten;
}

bool clearConfigurationProtection(CommandContext& ctx) {
    const QString phrase = QStringLiteral("Clear Configuration Protection");
    ctx.feedback.setStatus(phrase + QStringLiteral("..."));
    const bool cleared = ctx.link.exchangeRecord(clearProtectionBody()).acknowledged();
    ctx.feedback.setStatus(closingStatus(phrase, endingOf(cleared)));
    return cleared;
}

} // namespace zelvan
