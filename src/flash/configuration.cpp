#include "configuration.h"

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

// The text before a sector's number ends with a blank and the number brings its own.
QString sectorText(int sector) {
    return systemText::kSecurityByteForSector + QLatin1Char(' ') + QString::number(sector);
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

const ConfigByte* configByteAt(int address) {
    for (const ConfigByte& byte : table()) {
        if (byte.address == address)
            return &byte;
    }
    return nullptr;
}

const ConfigByte* configByteNamed(const QString& key) {
    for (const ConfigByte& byte : table()) {
        if (byte.key == key)
            return &byte;
    }
    return nullptr;
}

ConfigRead readConfigValue(IspLink& link, int address) {
    const IspAnswer answer = link.exchangeRecord(configReadBody(address));
    return ConfigRead{answer.outcome, answer.acknowledged() ? answer.data(2) : QString()};
}

Result writeConfigValue(IspLink& link, int address, const QString& value) {
    const IspAnswer answer = link.exchangeRecord(configWriteBody(address, value));
    return Result{endingOf(answer.outcome), failureText(answer.outcome)};
}

ConfigEdit editConfigByte(LinkContext& ctx, Questions& questions, const ConfigByte& byte) {
    ConfigEdit edit;
    ctx.progress.step(QStringLiteral("Reading ") + byte.name + QStringLiteral("..."));
    const ConfigRead read = readConfigValue(ctx.link, byte.address);
    if (!read.ok()) {
        // No value came: nothing is offered as the current one, and nothing is written.
        edit.end(endingOf(read.outcome),
                 QStringLiteral("%1 could not be read (%2)").arg(byte.name, failureText(read.outcome)));
        return edit;
    }
    edit.current = read.value;
    ctx.progress.step(byte.phrase() + QStringLiteral("..."));
    const std::optional<QString> value =
        questions.byteValue({byte.firstPromptLine + read.value + QStringLiteral("\r\n") + byte.secondPromptLine,
                             QStringLiteral("Program ") + byte.name, read.value, byte.name + QStringLiteral(" Value")});
    if (!value) {
        edit.end(Ending::Interrupted, QStringLiteral("no new value was given"));
        return edit;
    }
    static_cast<Result&>(edit) = writeConfigValue(ctx.link, byte.address, *value);
    if (edit.done())
        edit.written = *value;
    return edit;
}

QString securityPhrase(int sector) {
    return QStringLiteral("Programming ") + sectorText(sector);
}

SecurityWalk programSecurityBytes(LinkContext& ctx, Questions& questions, const DeviceGeometry& geometry) {
    SecurityWalk walk;
    walk.end(Ending::Done);
    for (int sector = 0; sector < geometry.sectorCount(); ++sector) {
        walk.lastSector = sector;
        const QString n = sectorText(sector);
        const int address = configAddress::securityByte(sector);
        const QString phrase = securityPhrase(sector);
        ctx.progress.step(QStringLiteral("Reading ") + n + QStringLiteral("..."));
        const ConfigRead read = readConfigValue(ctx.link, address);
        ctx.progress.indicate(read.ok() ? Led::Green : Led::Red);
        if (!read.ok()) {
            walk.readFailed = true;
            walk.end(endingOf(read.outcome), QStringLiteral("the security byte of sector %1 could not be read (%2)")
                                                 .arg(sector)
                                                 .arg(failureText(read.outcome)));
            ctx.progress.step(closingStatus(phrase, walk.ending));
            return walk;
        }

        ctx.progress.step(phrase + QStringLiteral("..."));
        const QString prompt = n + QStringLiteral(" Value (Hex) is: ") + read.value + QStringLiteral("\r\n") + n +
                               QStringLiteral(" New Value (Hex):");
        const std::optional<QString> value =
            questions.byteValue({prompt, QStringLiteral("Program ") + n, read.value, n + QStringLiteral(" Value")});
        if (!value) {
            walk.end(Ending::Interrupted, QStringLiteral("no new value was given for sector %1").arg(sector));
            ctx.progress.step(closingStatus(phrase, Ending::Interrupted));
            return walk;
        }
        const Result written = writeConfigValue(ctx.link, address, *value);
        ctx.progress.step(closingStatus(phrase, written.ending));
        (written.done() ? walk.written : walk.notWritten).append(sector);
        if (!written.done())
            walk.end(written.ending, written.reason);
    }
    if (geometry.sectorCount() == 0)
        walk.end(Ending::NotDone, QStringLiteral("no part is identified"));
    return walk;
}

Result clearConfigurationProtection(LinkContext& ctx) {
    ctx.progress.step(QStringLiteral("Clear Configuration Protection..."));
    Result cleared = writeConfigValue(ctx.link, configAddress::kClearProtection, QStringLiteral("00"));
    if (!cleared.done())
        cleared.reason = QStringLiteral("the configuration protection was not cleared (%1)").arg(cleared.reason);
    return cleared;
}

} // namespace zelvan
