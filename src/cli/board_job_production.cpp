// The production steps of zelvan-cli on one board: serial numbers, verify against the image or
// golden CRCs, calibration of the signature formulation, and the record of the chip.

#include "board_job.h"

#include "board_job_run.h"

#include "common/hex_text.h"
#include "firmware/image_bytes.h"
#include "production/crc_variant_setting.h"
#include "production/serial_numbers.h"
#include "production/verification.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QSysInfo>

namespace zelvan::cli {

int BoardJob::takeSerialNumber(Run& run, FirmwareCache& cache) {
    const SerialPlace& place = *production_.serialPlace;
    // A place the part does not have is refused before a number is taken or anything written.
    if (const QString problem = serialPlaceProblem(place, *run.part); !problem.isEmpty())
        return fail(run, kUsage, QStringLiteral("--serial: ") + problem);
    if (!QFileInfo::exists(production_.serialFile))
        console_.note(
            prefix_ +
            QStringLiteral("note: %1 does not exist yet: the serial numbers start at 1").arg(production_.serialFile));
    QString error;
    const std::optional<quint64> number = zelvan::takeSerialNumber(production_.serialFile, place.bytes, &error, &stop_);
    if (!number)
        return failPlainly(run, kNotDone, QStringLiteral("no serial number was taken: ") + error);
    // From here on the number is this chip's, whatever happens: numbers may skip, never repeat.
    run.record.serialNumber = *number;
    run.result.fields[QStringLiteral("serialNumber")] = static_cast<qint64>(*number);
    laySerialNumber(cache, place, *number);
    console_.note(
        prefix_ +
        QStringLiteral("serial number %1 at %2H").arg(*number).arg(strDecToHex16(static_cast<int>(place.address))));
    return kDone;
}

int BoardJob::verifyImage(Run& run, const FirmwareCache& cache, bool untouchedErased) {
    run.progress.setTask(QStringLiteral("verifying"), QStringLiteral("sectors"));
    std::optional<int> serialSector;
    if (production_.serialPlace)
        serialSector = static_cast<int>(production_.serialPlace->address) / run.part->intSectorSize;
    const Verification verification =
        production_.golden
            ? verifyAgainstGolden(run.ctx, *run.part, *production_.golden, serialSector)
            : verifyAgainstImage(run.ctx, *run.part, imageBytes(cache), *production_.variant, untouchedErased);
    run.record.sectorCrcs = verification.sectors;
    run.record.globalCrc = verification.global;
    run.result.crcsVerified = verification.compared;
    run.result.fields[QStringLiteral("crcsVerified")] = verification.compared;
    if (!verification.passed()) {
        // A mismatch is a verify failure; CRCs that could not be read or compared leave the
        // verify undone.
        const bool mismatch = verification.read && !verification.mismatched.isEmpty();
        run.record.verify = mismatch ? VerifyResult::Failed : VerifyResult::NotVerified;
        if (mismatch)
            run.result.fields[QStringLiteral("mismatched")] = sectorsText(verification.mismatched, *run.part);
        return failPlainly(run, mismatch ? kVerifyFailed : kNotDone,
                           (mismatch ? QString() : QStringLiteral("verify: ")) +
                               verifyProblem(verification, *run.part));
    }
    run.record.verify = VerifyResult::Passed;
    console_.result(prefix_ + QStringLiteral("verified %1 CRC(s) against %2")
                                  .arg(verification.compared)
                                  .arg(production_.golden
                                           ? QStringLiteral("the golden CRCs")
                                           : QStringLiteral("the image (%1)").arg(production_.variant->name)));
    return kDone;
}

int BoardJob::verifyCommand(Run& run) {
    FirmwareCache cache;
    if (!loadImage(run, cache))
        return kUsage;
    return verifyImage(run, cache, false);
}

int BoardJob::calibrate(Run& run) {
    FirmwareCache cache;
    if (!loadImage(run, cache))
        return kUsage;
    const QByteArray image = imageBytes(cache);
    // The sectors the image decides are the same under every formulation.
    QList<int> sectors;
    for (const auto& [sector, crc] : expectedCrcs(image, *run.part, defaultCrcVariant(), false).decided())
        sectors.append(sector);
    run.progress.setTask(QStringLiteral("reading CRCs"), QStringLiteral("sectors"));
    const std::optional<std::map<int, quint32>> read = readSectorCrcValues(run.ctx, *run.part, sectors);
    if (!read)
        return fail(run, kNotDone, QStringLiteral("the sector CRCs could not all be read"));
    const std::optional<std::vector<const CrcVariant*>> matches = calibrateCrcVariant(image, *run.part, *read);
    if (!matches)
        return fail(run, kNotDone,
                    QStringLiteral("the files write nothing but zeros into the sectors they decide: "
                                   "every formulation agrees there; nothing stored"));
    QStringList names;
    for (const CrcVariant* variant : *matches)
        names.append(variant->name);
    run.result.fields[QStringLiteral("matching")] = QJsonArray::fromStringList(names);
    if (matches->empty())
        return fail(run, kNotDone,
                    QStringLiteral("no formulation of the signature matches the chip's CRCs (was it "
                                   "programmed with these files?); nothing stored"));
    if (matches->size() > 1)
        return fail(run, kNotDone,
                    QStringLiteral("%1 formulations match (%2); program an image with more varied "
                                   "data and calibrate again; nothing stored")
                        .arg(matches->size())
                        .arg(names.join(QStringLiteral(", "))));
    storeCalibratedCrcVariant(*matches->front());
    run.result.fields[QStringLiteral("variant")] = matches->front()->name;
    console_.result(prefix_ +
                    QStringLiteral("calibrated: the chip's CRCs are %1; stored for verify").arg(names.front()));
    return kDone;
}

int BoardJob::saveGolden(Run& run) {
    const CatalogueEntry* entry = findPartById(run.ids->deviceId2);
    if (!entry)
        return failPlainly(run, kUsage, QStringLiteral("the part is not in the catalogue: its CRCs cannot be named"));
    const std::optional<GoldenCrcs> golden = readGoldenCrcs(run.ctx, *run.part, entry->partName());
    if (!golden)
        return failPlainly(run, kNotDone, QStringLiteral("the CRCs could not all be read"));
    QString error;
    if (!saveGoldenCrcs(request_.options.saveGolden, *golden, &error))
        return failPlainly(run, kNotDone, error);
    for (const auto& [sector, crc] : golden->sectors)
        console_.result(prefix_ + QStringLiteral("sector %1 CRC %2").arg(sector, 2).arg(crcText(crc)));
    console_.result(prefix_ + QStringLiteral("global CRC %1; saved as golden CRCs in %2")
                                  .arg(crcText(golden->global), request_.options.saveGolden));
    return kDone;
}

void BoardJob::writeRecord(Run& run) {
    if (production_.records.empty())
        return;
    ChipRecord& record = run.record;
    record.host = QSysInfo::machineHostName();
    record.port = run.result.port;
    record.device = run.result.device;
    record.loaderVersion = run.version;
    record.partName = run.result.part;
    if (run.ids) {
        const auto byte = [](const QString& text) { return static_cast<quint8>(text.toUInt(nullptr, 16)); };
        record.ids = {byte(run.ids->manufacturer), byte(run.ids->deviceId1), byte(run.ids->deviceId2)};
    }
    for (const QString& file : request_.files + request_.options.hexFiles)
        record.files.append(recordedFile(file));
    record.exitStatus = run.result.status;
    record.error = run.result.undone.isEmpty() ? run.result.error : QStringLiteral("interrupted: ") + run.result.undone;
    record.durationMs = run.result.milliseconds;
    record.serialVoid = record.serialNumber.has_value() && run.result.status != kDone;
    for (const std::unique_ptr<RecordSink>& sink : production_.records) {
        QString error;
        if (!sink->write(record, &error))
            console_.error(QStringLiteral("zelvan-cli: %1: the record of this chip could not be stored where it "
                                          "belongs (%2); it is kept and sent with the next one")
                               .arg(run.result.port, error));
    }
}

} // namespace zelvan::cli
