#include "verification.h"

#include "common/hex_text.h"
#include "flash/crc_readback.h"
#include "link/isp_commands.h"

#include <QStringList>

namespace zelvan {

namespace {

std::optional<quint32> readGlobalCrcNumber(CommandContext& ctx) {
    const IspAnswer answer = ctx.link.exchangeRecord(globalCrcBody());
    return answer.acknowledged() ? crcNumber(crcValue(answer)) : std::nullopt;
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

namespace {

// Reads the CRC of each sector of expected and compares it with the expected one.
Verification readAndCompare(CommandContext& ctx, const DeviceGeometry& part, const std::map<int, quint32>& expected) {
    QList<int> sectors;
    for (const auto& [sector, crc] : expected)
        sectors.append(sector);
    Verification verification;
    const std::optional<std::map<int, quint32>> read = readSectorCrcValues(ctx, part, sectors);
    verification.read = read.has_value();
    if (read) {
        for (const auto& [sector, crc] : *read)
            compare(verification, sector, crc, expected.at(sector));
    }
    return verification;
}

} // namespace

Verification verifyAgainstImage(CommandContext& ctx, const DeviceGeometry& part, QByteArrayView image,
                                const CrcVariant& variant, bool untouchedErased) {
    const ExpectedCrcs expected = expectedCrcs(image, part, variant, untouchedErased);
    Verification verification = readAndCompare(ctx, part, expected.decided());
    verification.undecidable = QList<int>(expected.undecidable.begin(), expected.undecidable.end());
    return verification;
}

Verification verifyAgainstGolden(CommandContext& ctx, const DeviceGeometry& part, const GoldenCrcs& golden,
                                 std::optional<int> skipSector) {
    std::map<int, quint32> expected = golden.sectors;
    if (skipSector)
        expected.erase(*skipSector);
    Verification verification = readAndCompare(ctx, part, expected);
    if (!verification.read)
        return verification;
    // The global CRC covers the serial number's sector too: it is only compared without one.
    if (!skipSector) {
        const std::optional<quint32> global = readGlobalCrcNumber(ctx);
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

std::optional<GoldenCrcs> readGoldenCrcs(CommandContext& ctx, const DeviceGeometry& part, const QString& partName) {
    QList<int> sectors;
    for (int sector = 0; sector < part.sectorCount(); ++sector)
        sectors.append(sector);
    const std::optional<std::map<int, quint32>> crcs = readSectorCrcValues(ctx, part, sectors);
    const std::optional<quint32> global = crcs ? readGlobalCrcNumber(ctx) : std::nullopt;
    if (!global)
        return std::nullopt;
    return GoldenCrcs{partName, part.intSectorSize, *global, *crcs};
}

QString sectorsText(const QList<int>& sectors, const DeviceGeometry& part) {
    QStringList numbers;
    QStringList addresses;
    bool global = false;
    for (const int sector : sectors) {
        if (sector < 0) {
            global = true;
            continue;
        }
        numbers.append(QString::number(sector));
        addresses.append(strDecToHex16(sector * part.intSectorSize) + QLatin1Char('H'));
    }
    QStringList parts;
    if (!numbers.isEmpty())
        parts.append(QStringLiteral("sector%1 %2 (%3)")
                         .arg(numbers.size() > 1 ? QStringLiteral("s") : QString(), numbers.join(QStringLiteral(", ")),
                              addresses.join(QStringLiteral(", "))));
    if (global)
        parts.append(QStringLiteral("the global CRC"));
    return parts.join(QStringLiteral(" and "));
}

QString verifyProblem(const Verification& verification, const DeviceGeometry& part) {
    if (!verification.read)
        return QStringLiteral("the CRCs could not all be read");
    if (!verification.mismatched.isEmpty())
        return QStringLiteral("verify failed: %1 differ%2")
            .arg(sectorsText(verification.mismatched, part),
                 verification.mismatched.size() > 1 ? QString() : QStringLiteral("s"));
    if (!verification.undecidable.isEmpty())
        return QStringLiteral("the image writes into %1, which also hold%2 the bootloader: no CRC computed from the "
                              "image can check it; verify it against golden CRCs")
            .arg(sectorsText(verification.undecidable, part),
                 verification.undecidable.size() > 1 ? QString() : QStringLiteral("s"));
    if (verification.compared == 0)
        return QStringLiteral("the image decides no sector of this part: nothing to compare");
    return QString();
}

} // namespace zelvan
