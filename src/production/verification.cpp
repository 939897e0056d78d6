#include "verification.h"

#include "common/hex_text.h"
#include "flash/crc_readback.h"

#include <QStringList>

namespace zelvan {

namespace {

void compare(Verification& verification, int sector, quint32 read, quint32 expected) {
    verification.sectors[sector] = RecordedCrc{read, expected};
    ++verification.compared;
    if (read != expected)
        verification.mismatched.append(sector);
}

// Reads the CRC of each sector of expected and compares it with the expected one.
Verification readAndCompare(LinkContext& ctx, const DeviceGeometry& part, const std::map<int, quint32>& expected) {
    QList<int> sectors;
    for (const auto& [sector, crc] : expected)
        sectors.append(sector);
    Verification verification;
    const SectorCrcValues read = readSectorCrcValues(ctx, part, sectors);
    static_cast<Result&>(verification) = read;
    verification.read = read.done();
    for (const auto& [sector, crc] : read.crcs)
        compare(verification, sector, crc, expected.at(sector));
    return verification;
}

// The verdict once everything that was to be read has been read.
Verification& judge(Verification& verification, const DeviceGeometry& part) {
    if (!verification.read)
        return verification;
    const Ending ending = verification.passed()                ? Ending::Done
                          : !verification.mismatched.isEmpty() ? Ending::Mismatch
                                                               : Ending::NotDone;
    verification.end(ending, verifyProblem(verification, part));
    return verification;
}

} // namespace

std::vector<bool> writtenSectors(const FirmwareCache& image, const DeviceGeometry& part) {
    std::vector<bool> written;
    for (int sector = 0; sector < part.sectorCount(); ++sector)
        written.push_back(image.writesInto(sector * part.intSectorSize, part.intSectorSize));
    return written;
}

QList<int> sharedSectors(const FirmwareCache& image, const DeviceGeometry& part) {
    const ExpectedCrcs expected =
        expectedCrcs(image.bytes(), part, defaultCrcVariant(), false, writtenSectors(image, part));
    return QList<int>(expected.undecidable.begin(), expected.undecidable.end());
}

Verification verifyAgainstImage(LinkContext& ctx, const DeviceGeometry& part, const FirmwareCache& image,
                                const CrcVariant& variant, bool variantKnown, bool untouchedErased,
                                const std::map<int, quint32>& baselines, bool bootloaderErased) {
    ctx.progress.stage(QStringLiteral("verifying"), QStringLiteral("sectors"));
    const ExpectedCrcs expected = expectedCrcs(image.bytes(), part, variant, untouchedErased,
                                               writtenSectors(image, part), baselines, bootloaderErased);
    Verification verification = readAndCompare(ctx, part, expected.decided());
    verification.undecidable = QList<int>(expected.undecidable.begin(), expected.undecidable.end());
    judge(verification, part);
    if (verification.ending == Ending::Mismatch && !variantKnown)
        verification.reason += QStringLiteral("; the CRCs were computed with the default formulation (%1), which may "
                                              "not be this chip's: calibrate it on a chip just programmed with these "
                                              "files (zelvan-cli crc calibrate FILE.hex), or compare with golden CRCs "
                                              "(--golden)")
                                   .arg(variant.name);
    else if (verification.ending == Ending::Mismatch)
        verification.reason += QStringLiteral(" (formulation %1)").arg(variant.name);
    return verification;
}

Verification verifyAgainstGolden(LinkContext& ctx, const DeviceGeometry& part, const GoldenCrcs& golden,
                                 const SerialSectors& serial) {
    ctx.progress.stage(QStringLiteral("verifying"), QStringLiteral("sectors"));
    std::map<int, quint32> expected = golden.sectors;
    QList<int> unchecked;
    for (const int sector : serial.sectors) {
        expected.erase(sector);
        if (const auto crc = serial.expected.find(sector); crc != serial.expected.end())
            expected[sector] = crc->second;
        else
            unchecked.append(sector);
    }
    Verification verification = readAndCompare(ctx, part, expected);
    verification.serialUnchecked = unchecked;
    // The global CRC covers the serial number's sectors too: it is only compared without one.
    if (verification.read && serial.sectors.isEmpty()) {
        const GlobalCrcValue global = readGlobalCrcValue(ctx);
        verification.read = global.done();
        if (!global.done())
            static_cast<Result&>(verification) = global;
        if (global.done()) {
            verification.global = RecordedCrc{global.crc, golden.global};
            ++verification.compared;
            if (global.crc != golden.global)
                verification.mismatched.append(-1);
        }
    }
    return judge(verification, part);
}

GoldenReading readGoldenCrcs(LinkContext& ctx, const DeviceGeometry& part, const QString& partName) {
    QList<int> sectors;
    for (int sector = 0; sector < part.sectorCount(); ++sector)
        sectors.append(sector);
    GoldenReading reading;
    ctx.progress.stage(QStringLiteral("reading CRCs"), QStringLiteral("sectors"));
    const SectorCrcValues crcs = readSectorCrcValues(ctx, part, sectors);
    static_cast<Result&>(reading) = crcs;
    if (!crcs.done())
        return reading;
    const GlobalCrcValue global = readGlobalCrcValue(ctx);
    static_cast<Result&>(reading) = global;
    if (global.done())
        reading.golden = GoldenCrcs{partName, part.intSectorSize, global.crc, crcs.crcs};
    return reading;
}

Calibration calibrate(LinkContext& ctx, const DeviceGeometry& part, QByteArrayView image) {
    // The sectors the image decides are the same under every formulation.
    QList<int> sectors;
    for (const auto& [sector, crc] : expectedCrcs(image, part, defaultCrcVariant(), false).decided())
        sectors.append(sector);
    Calibration calibration;
    ctx.progress.stage(QStringLiteral("reading CRCs"), QStringLiteral("sectors"));
    const SectorCrcValues read = readSectorCrcValues(ctx, part, sectors);
    static_cast<Result&>(calibration) = read;
    if (!read.done())
        return calibration;
    const std::optional<std::vector<const CrcVariant*>> matches = calibrateCrcVariant(image, part, read.crcs);
    if (!matches)
        return static_cast<Calibration&>(
            calibration.end(Ending::NotDone, QStringLiteral("the files write nothing but zeros into the sectors they "
                                                            "decide: every formulation agrees there; nothing stored")));
    calibration.matches = *matches;
    QStringList names;
    for (const CrcVariant* variant : *matches)
        names.append(variant->name);
    if (matches->empty())
        calibration.end(Ending::NotDone, QStringLiteral("no formulation of the signature matches the chip's CRCs (was "
                                                        "it programmed with these files?); nothing stored"));
    else if (matches->size() > 1)
        calibration.end(Ending::NotDone, QStringLiteral("%1 formulations match (%2); program an image with more "
                                                        "varied data and calibrate again; nothing stored")
                                             .arg(matches->size())
                                             .arg(names.join(QStringLiteral(", "))));
    else
        calibration.end(Ending::Done);
    return calibration;
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
    if (!verification.serialUnchecked.isEmpty())
        return QStringLiteral(
                   "%1 hold%2 this chip's own serial number: golden CRCs cannot check it, and no formulation "
                   "is calibrated or chosen to check it against the image")
            .arg(sectorsText(verification.serialUnchecked, part),
                 verification.serialUnchecked.size() > 1 ? QString() : QStringLiteral("s"));
    if (verification.compared == 0)
        return QStringLiteral("the image decides no sector of this part: nothing to compare");
    return QString();
}

} // namespace zelvan
