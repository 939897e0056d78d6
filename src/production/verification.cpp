#include "verification.h"

#include "common/hex_text.h"
#include "flash/crc_readback.h"
#include "link/isp_commands.h"

#include <QStringList>

namespace zelvan {

namespace {

std::optional<quint32> crcNumber(const QString& text) {
    bool ok = false;
    const quint32 value = text.toUInt(&ok, 16);
    return ok && text.size() == 8 ? std::optional(value) : std::nullopt;
}

void compare(Verification& verification, int sector, quint32 read, quint32 expected) {
    verification.sectors[sector] = RecordedCrc{read, expected};
    ++verification.compared;
    if (read != expected)
        verification.mismatched.append(sector);
}

} // namespace

std::optional<std::map<int, quint32>> readSectorCrcValues(CommandContext& ctx, const DeviceGeometry& part,
                                                          const QList<int>& sectors) {
    std::map<int, quint32> values;
    ctx.feedback.setProgress(0, static_cast<int>(sectors.size()));
    for (const int sector : sectors) {
        if (ctx.stop.requested())
            return std::nullopt;
        const IspAnswer answer = strGetSectorCRC(ctx, sector * part.intSectorSize);
        const std::optional<quint32> crc = answer.acknowledged() ? crcNumber(crcValue(answer)) : std::nullopt;
        if (!crc)
            return std::nullopt;
        values[sector] = *crc;
        ctx.feedback.setProgress(static_cast<int>(values.size()), static_cast<int>(sectors.size()));
    }
    ctx.feedback.setProgress(0, 0);
    return values;
}

Verification verifyAgainstImage(CommandContext& ctx, const DeviceGeometry& part, QByteArrayView image,
                                const CrcVariant& variant, bool untouchedErased) {
    const ExpectedCrcs expected = expectedCrcs(image, part, variant, untouchedErased);
    QList<int> sectors;
    for (size_t sector = 0; sector < expected.sectors.size(); ++sector) {
        if (expected.sectors[sector])
            sectors.append(static_cast<int>(sector));
    }
    Verification verification;
    const std::optional<std::map<int, quint32>> read = readSectorCrcValues(ctx, part, sectors);
    verification.read = read.has_value();
    if (!read)
        return verification;
    for (const auto& [sector, crc] : *read)
        compare(verification, sector, crc, *expected.sectors[static_cast<size_t>(sector)]);
    return verification;
}

Verification verifyAgainstGolden(CommandContext& ctx, const DeviceGeometry& part, const GoldenCrcs& golden,
                                 std::optional<int> skipSector) {
    QList<int> sectors;
    for (const auto& [sector, crc] : golden.sectors) {
        if (sector != skipSector)
            sectors.append(sector);
    }
    Verification verification;
    const std::optional<std::map<int, quint32>> read = readSectorCrcValues(ctx, part, sectors);
    verification.read = read.has_value();
    if (!read)
        return verification;
    for (const auto& [sector, crc] : *read)
        compare(verification, sector, crc, golden.sectors.at(sector));
    // The global CRC covers the serial number's sector too: it is only compared without one.
    if (!skipSector) {
        const IspAnswer answer = ctx.link.exchangeRecord(globalCrcBody());
        const std::optional<quint32> global = answer.acknowledged() ? crcNumber(crcValue(answer)) : std::nullopt;
        verification.read = global.has_value();
        if (global) {
            verification.global = RecordedCrc{*global, golden.global};
            ++verification.compared;
            if (*global != golden.global)
                verification.mismatched.append(-1);
        }
    }
    return verification;
}

QString mismatchText(const Verification& verification, const DeviceGeometry& part) {
    QStringList sectors;
    QStringList addresses;
    bool global = false;
    for (const int sector : verification.mismatched) {
        if (sector < 0) {
            global = true;
            continue;
        }
        sectors.append(QString::number(sector));
        addresses.append(strDecToHex16(sector * part.intSectorSize) + QLatin1Char('H'));
    }
    QStringList parts;
    if (!sectors.isEmpty())
        parts.append(QStringLiteral("sector%1 %2 (%3)")
                         .arg(sectors.size() > 1 ? QStringLiteral("s") : QString(), sectors.join(QStringLiteral(", ")),
                              addresses.join(QStringLiteral(", "))));
    if (global)
        parts.append(QStringLiteral("the global CRC"));
    return parts.join(QStringLiteral(" and "));
}

} // namespace zelvan
