#include "configuration.h"

#include "byte_entry.h"

#include "link/exchange.h"
#include "link/records.h"

namespace zelvan {

namespace {

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
        ctx.dialogs.messageBox(QStringLiteral("Uncorrect Value"), refusalTitle);
    }
}

// The value a configuration or security byte read returns: the two characters right after the
// echoed record (characters 13 and 14 of the answer; fewer when it is shorter).
QString readValueOf(const ResponseState& state) {
    return state.strLastResponse.mid(12, 2);
}

// Sends a write record and tells whether the board acknowledged it; a refusal next to a "."
// is a refusal.
bool writeAcknowledged(IspLink& link, const QString& body) {
    return exchangeRecord(link, body) == Outcome::Acknowledged;
}

QString ending(bool written) {
    return written ? QStringLiteral(": Done") : QStringLiteral(": Error");
}

} // namespace

const ConfigByte& ucfg1Byte() {
    static const ConfigByte byte{0, QStringLiteral("UCFG1"),
                                 QStringLiteral("User Configuration Byte 1 Value (Hex) is: "),
                                 QStringLiteral("Insert User Configuration Byte 1 New Value (Hex):")};
    return byte;
}

const ConfigByte& ucfg2Byte() {
    static const ConfigByte byte{1, QStringLiteral("UCFG2"),
                                 QStringLiteral("User Configuration Byte 2 Value (Hex) is: "),
                                 QStringLiteral("Insert User Configuration Byte 2 New Value (Hex):")};
    return byte;
}

const ConfigByte& bootVectorByte() {
    static const ConfigByte byte{2, QStringLiteral("Boot Vector"), QStringLiteral("Boot Vector Byte Value (Hex) is: "),
                                 QStringLiteral("Boot Vector Byte New Value (Hex):")};
    return byte;
}

const ConfigByte& statusByte() {
    static const ConfigByte byte{3, QStringLiteral("Status Byte"), QStringLiteral("Status Byte Value (Hex) is: "),
                                 QStringLiteral("Insert Status Byte New Value (Hex):")};
    return byte;
}

bool editConfigByte(CommandContext& ctx, const ConfigByte& byte) {
    ctx.feedback.setStatus(QStringLiteral("Reading ") + byte.name + QStringLiteral("..."));
    // The read is not judged: whatever answer text there is stands in the box.
    ctx.link.sendRecord(configReadBody(byte.address));
    ctx.link.WaitResponse();
    const QString current = readValueOf(ctx.link.response());

    ctx.feedback.setStatus(byte.phrase() + QStringLiteral("..."));
    const std::optional<QString> value =
        askByteValue(ctx, byte.firstPromptLine + current + QStringLiteral("\r\n") + byte.secondPromptLine,
                     QStringLiteral("Program ") + byte.name, current, byte.name + QStringLiteral(" Value"));
    if (!value) {
        ctx.feedback.setStatus(byte.phrase() + QStringLiteral(": Interrupted"));
        return false;
    }
    const bool written = writeAcknowledged(ctx.link, configWriteBody(byte.address, *value));
    ctx.feedback.setStatus(byte.phrase() + ending(written));
    return written;
}

int securityAddress(int sector) {
    return sector < 8 ? 0x08 + sector : 0x10 + sector;
}

bool programSecurityBytes(CommandContext& ctx, int flashLastAddr, int sectorSize) {
    if (sectorSize <= 0)
        return false;
    bool allWritten = true;
    for (int sector = 0; sector <= flashLastAddr / sectorSize; ++sector) {
        // The texts before the number end with a blank and the number brings its own.
        const QString n = QLatin1Char(' ') + QString::number(sector);
        const int address = securityAddress(sector);
        ctx.feedback.setStatus(QStringLiteral("Reading Security Byte for Sector ") + n + QStringLiteral("..."));
        ctx.link.sendRecord(configReadBody(address));
        ctx.link.WaitResponse();
        const Outcome read = judgeAnswer(ctx);
        if (read != Outcome::Acknowledged) {
            ctx.dialogs.messageBox(failureText(read), QStringLiteral("Security Bytes"));
            return false;
        }
        const QString current = readValueOf(ctx.link.response());

        const QString phrase = QStringLiteral("Programming Security Byte for Sector ") + n;
        ctx.feedback.setStatus(phrase + QStringLiteral("..."));
        const QString prompt = QStringLiteral("Security Byte for Sector ") + n + QStringLiteral(" Value (Hex) is: ") +
                               current + QStringLiteral("\r\n") + QStringLiteral("Security Byte for Sector ") + n +
                               QStringLiteral(" New Value (Hex):");
        const std::optional<QString> value =
            askByteValue(ctx, prompt, QStringLiteral("Program Security Byte for Sector ") + n, current,
                         QStringLiteral("Security Byte for Sector ") + n + QStringLiteral(" Value"));
        if (!value) {
            ctx.feedback.setStatus(phrase + QStringLiteral(": Interrupted"));
            return false;
        }
        const bool written = writeAcknowledged(ctx.link, configWriteBody(address, *value));
        ctx.feedback.setStatus(phrase + ending(written));
        allWritten = allWritten && written;
    }
    return allWritten;
}

bool clearConfigurationProtection(CommandContext& ctx) {
    ctx.feedback.setStatus(QStringLiteral("Clear Configuration Protection..."));
    const bool cleared = writeAcknowledged(ctx.link, configWriteBody(0x10, QStringLiteral("00")));
    ctx.feedback.setStatus(QStringLiteral("Clear Configuration Protection") + ending(cleared));
    return cleared;
}

} // namespace zelvan
