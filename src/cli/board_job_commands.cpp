// The commands of zelvan-cli on one connected board, through the procedures the window uses.

#include "board_job.h"

#include "board_job_run.h"
#include "cli_automation_host.h"
#include "hex_files.h"
#include "program_plan.h"

#include "automation/automation_run.h"
#include "common/hex_text.h"
#include "firmware/programming.h"
#include "flash/configuration.h"
#include "flash/crc_readback.h"
#include "flash/erasing.h"
#include "link/isp_commands.h"
#include "programmer/board_commands.h"

#include <QJsonArray>

namespace zelvan::cli {

namespace {

const ConfigByte& configByteNamed(const QString& key) {
    for (const ConfigByte& byte : configBytes()) {
        if (byte.key == key)
            return byte;
    }
    return ucfg1Byte();
}

QString hexAddress(int address) {
    return strDecToHex16(address) + QLatin1Char('H');
}

} // namespace

int BoardJob::info(Run& run) {
    const DeviceGeometry& g = *run.part;
    const CatalogueEntry* entry = findPartById(run.ids->deviceId2);
    const QString part = partDescription(run.ids->manufacturer, run.ids->deviceId1, run.ids->deviceId2);
    const QString bootloader =
        g.hasBootloader() ? hexAddress(g.intBootloaderAddr) : QStringLiteral("none (no bootloader area)");
    const QList<std::pair<const char*, QString>> lines{
        {"port", QStringLiteral("%1 (%2)").arg(run.result.port, run.result.device)},
        {"loader", run.version},
        {"part", part},
        {"flash", QStringLiteral("%1 bytes").arg(g.flashSize())},
        {"sector", QStringLiteral("%1 bytes (%2 sectors)").arg(g.intSectorSize).arg(g.sectorCount())},
        {"page", QStringLiteral("%1 bytes (%2 pages)").arg(g.intPageSize).arg(g.pageCount())},
        {"bootloader", bootloader},
        {"ids", QStringLiteral("%1 %2 %3").arg(run.ids->manufacturer, run.ids->deviceId1, run.ids->deviceId2)},
    };
    for (const auto& [name, value] : lines)
        console_.result(prefix_ + QStringLiteral("%1 %2").arg(QString::fromLatin1(name).leftJustified(11), value));
    QJsonObject& fields = run.result.fields;
    fields[QStringLiteral("part")] = entry ? entry->partName() : QStringLiteral("unknown");
    fields[QStringLiteral("description")] = part;
    fields[QStringLiteral("flashSize")] = g.flashSize();
    fields[QStringLiteral("sectorSize")] = g.intSectorSize;
    fields[QStringLiteral("pageSize")] = g.intPageSize;
    fields[QStringLiteral("bootloaderAddress")] = g.hasBootloader() ? QJsonValue(g.intBootloaderAddr) : QJsonValue();
    return kDone;
}

int BoardJob::boardLetter(Run& run) {
    const BoardCommand& command = request_.kind == CommandKind::Icp ? icpModeCommand() : powerOffCommand();
    if (!runBoardCommand(run.ctx, command))
        return fail(run, kNotDone, command.phrase + QStringLiteral(" failed"));
    console_.result(prefix_ + run.dialogs.lastMessage());
    return kDone;
}

int BoardJob::eraseChipCommand(Run& run) {
    if (!eraseChip(run.ctx, false))
        return fail(run, kNotDone, QStringLiteral("the chip was not erased"));
    console_.result(prefix_ + QStringLiteral("chip erased"));
    return kDone;
}

int BoardJob::eraseRangeCommand(Run& run) {
    const bool pages = request_.kind == CommandKind::ErasePages;
    const RangeErase& kind = pages ? pageErase() : sectorErase();
    const int unit = kind.unitSize(*run.part);
    QString error;
    const std::optional<UnitRange> range = resolveRange(request_.range, unit, run.part->flashSize() / unit, &error);
    if (!range)
        return fail(run, kUsage, error);
    run.progress.setTask(QStringLiteral("erasing"), pages ? QStringLiteral("pages") : QStringLiteral("sectors"));
    const RangeEraseResult erased =
        eraseRange(run.ctx, kind, *run.part, range->first, range->last, !request_.options.noProtect);
    run.result.fields[QStringLiteral("erased")] = erased.erased;
    if (!erased.done())
        return fail(run, kNotDone,
                    QStringLiteral("%1 of %2 %3 erased")
                        .arg(erased.erased)
                        .arg(range->last - range->first + 1)
                        .arg(pages ? QStringLiteral("pages") : QStringLiteral("sectors")));
    QString line = QStringLiteral("erased %1 %2 from %3")
                       .arg(erased.erased)
                       .arg(pages ? "pages" : "sectors")
                       .arg(hexAddress(range->first * unit));
    if (erased.protectedAt)
        line += QStringLiteral("; %1 and up kept for the bootloader").arg(hexAddress(*erased.protectedAt));
    console_.result(prefix_ + line);
    return kDone;
}

int BoardJob::crcGlobal(Run& run) {
    const std::optional<QString> crc = readGlobalCrc(run.ctx);
    if (!crc)
        return fail(run, kNotDone, QStringLiteral("the global CRC could not be read"));
    if (!crcNumber(*crc))
        return failPlainly(run, kNotDone, QStringLiteral("the board's answer holds no CRC (\"%1\")").arg(*crc));
    run.result.fields[QStringLiteral("globalCrc")] = *crc;
    console_.result(prefix_ + QStringLiteral("global CRC %1").arg(*crc));
    return kDone;
}

int BoardJob::crcSectors(Run& run) {
    const int size = run.part->intSectorSize;
    QString error;
    const std::optional<UnitRange> range = resolveRange(request_.range, size, run.part->sectorCount(), &error);
    if (!range)
        return fail(run, kUsage, error);
    run.progress.setTask(QStringLiteral("reading CRCs"), QStringLiteral("sectors"));
    if (!request_.options.saveGolden.isEmpty())
        return saveGolden(run);
    const SectorCrcReading reading = readSectorCrcs(run.ctx, size, range->first, range->last);
    QJsonArray sectors;
    for (const SectorCrc& crc : reading.values) {
        if (!crcNumber(crc.value))
            return failPlainly(run, kNotDone,
                               QStringLiteral("the board's answer for sector %1 holds no CRC (\"%2\")")
                                   .arg(crc.address / size)
                                   .arg(crc.value));
        console_.result(prefix_ +
                        QStringLiteral("sector %1 %2-%3 CRC %4")
                            .arg(crc.address / size, 2)
                            .arg(strDecToHex16(crc.address), strDecToHex16(crc.address + size - 1), crc.value));
        sectors.append(QJsonObject{{QStringLiteral("sector"), crc.address / size},
                                   {QStringLiteral("address"), crc.address},
                                   {QStringLiteral("crc"), crc.value}});
    }
    run.result.fields[QStringLiteral("sectors")] = sectors;
    if (reading.ending != Ending::Done)
        return fail(run, kNotDone, QStringLiteral("the sector CRCs could not all be read"));
    return kDone;
}

bool BoardJob::loadImage(Run& run, FirmwareCache& cache) {
    cache.recreate(run.part->intFlashLastAddr);
    QString error;
    if (!loadHexFiles(request_.files, cache, *run.part, prefix_, console_, &error)) {
        fail(run, kUsage, error);
        return false;
    }
    run.result.fields[QStringLiteral("files")] = QJsonArray::fromStringList(request_.files);
    if (production_.golden && production_.golden->partName != run.result.part) {
        fail(run, kUsage,
             QStringLiteral("the golden CRCs are those of an %1, this part is an %2")
                 .arg(production_.golden->partName, run.result.part));
        return false;
    }
    return true;
}

int BoardJob::program(Run& run) {
    const bool protect = !request_.options.noProtect;
    FirmwareCache cache;
    if (!loadImage(run, cache))
        return kUsage;
    if (production_.serialPlace) {
        if (const int status = takeSerialNumber(run, cache); status != kDone)
            return status;
    }

    // Erase first: every sector the image touches, or the chip, or nothing.
    int sectorsErased = 0;
    int pagesErased = 0;
    if (request_.options.erase == EraseMode::Chip) {
        if (!eraseChip(run.ctx, false))
            return fail(run, kNotDone, QStringLiteral("the chip erase before programming failed"));
    } else if (request_.options.erase == EraseMode::Used) {
        const ErasePlan plan = unitsToErase(cache, *run.part, protect);
        for (const auto& [kind, runs] :
             {std::pair{&sectorErase(), plan.sectors}, std::pair{&pageErase(), plan.pages}}) {
            run.progress.setTask(QStringLiteral("erasing"),
                                 kind == &sectorErase() ? QStringLiteral("sectors") : QStringLiteral("pages"));
            for (const UnitRange& units : runs) {
                const RangeEraseResult erased = eraseRange(run.ctx, *kind, *run.part, units.first, units.last, protect);
                (kind == &sectorErase() ? sectorsErased : pagesErased) += erased.erased;
                if (!erased.done())
                    return fail(run, kNotDone,
                                QStringLiteral("the erase before programming failed (%1 sector(s) and "
                                               "%2 page(s) erased)")
                                    .arg(sectorsErased)
                                    .arg(pagesErased));
            }
        }
    }
    run.result.fields[QStringLiteral("sectorsErased")] = sectorsErased;
    run.result.fields[QStringLiteral("pagesErased")] = pagesErased;

    run.progress.setTask(QStringLiteral("programming"), QStringLiteral("pages"));
    const ProgramResult programmed = programFirmware(run.ctx, cache, *run.part, request_.options.quick, protect);
    run.result.fields[QStringLiteral("pagesWritten")] = programmed.pagesWritten;
    run.result.fields[QStringLiteral("pagesToWrite")] = programmed.pagesToWrite;
    run.result.fields[QStringLiteral("pagesSkipped")] = programmed.pagesSkipped;
    if (!programmed.done() && programmed.ending == Ending::Error && programmed.pagesWritten == programmed.pagesToWrite)
        return fail(run, kNotDone,
                    QStringLiteral("all %1 pages were written, but a configuration byte the files carry "
                                   "was not")
                        .arg(programmed.pagesWritten));
    if (!programmed.done())
        return fail(run, kNotDone,
                    QStringLiteral("programming stopped: %1 of %2 pages written")
                        .arg(programmed.pagesWritten)
                        .arg(programmed.pagesToWrite));
    const QString besideBootloader =
        pagesErased > 0 ? QStringLiteral(" and %1 page(s) beside the bootloader").arg(pagesErased) : QString();
    QString line = QStringLiteral("programmed %1 page(s) (%2 sector(s)%3 erased first)")
                       .arg(programmed.pagesWritten)
                       .arg(sectorsErased)
                       .arg(besideBootloader);
    if (programmed.pagesSkipped > 0)
        line += QStringLiteral("; %1 page(s) in the bootloader area not written").arg(programmed.pagesSkipped);
    console_.result(prefix_ + line);
    return request_.options.verify ? verifyImage(run, cache, request_.options.erase == EraseMode::Chip) : kDone;
}

int BoardJob::configGet(Run& run) {
    const ConfigByte& byte = configByteNamed(request_.configName);
    const ConfigRead read = readConfigValue(run.link, byte.address);
    if (!read.ok() || !isHexText(read.value, 2))
        return failPlainly(
            run, kNotDone,
            QStringLiteral("%1 could not be read (%2)")
                .arg(byte.name, read.ok() ? QStringLiteral("the answer holds no byte") : failureText(read.outcome)));
    run.result.fields[byte.key] = read.value;
    console_.result(prefix_ + QStringLiteral("%1 %2").arg(byte.key, read.value));
    return kDone;
}

int BoardJob::configSet(Run& run) {
    const ConfigByte& byte = configByteNamed(request_.configName);
    if (!writeConfigValue(run.link, byte.address, request_.value))
        return fail(run, kNotDone,
                    QStringLiteral("%1 was not written (the board refused or did not answer)").arg(byte.name));
    run.result.fields[byte.key] = request_.value;
    console_.result(prefix_ + QStringLiteral("%1 set to %2").arg(byte.key, request_.value));
    return kDone;
}

int BoardJob::securityGet(Run& run) {
    const int sectors = run.part->sectorCount();
    if (request_.sector && *request_.sector >= sectors)
        return fail(run, kUsage, QStringLiteral("the part has sectors 0..%1").arg(sectors - 1));
    const int first = request_.sector.value_or(0);
    const int last = request_.sector.value_or(sectors - 1);
    QJsonArray values;
    for (int sector = first; sector <= last; ++sector) {
        const ConfigRead read = readConfigValue(run.link, configAddress::securityByte(sector));
        if (!read.ok() || !isHexText(read.value, 2))
            return fail(run, kNotDone,
                        QStringLiteral("the security byte of sector %1 could not be read (%2)")
                            .arg(sector)
                            .arg(failureText(read.outcome)));
        console_.result(prefix_ + QStringLiteral("sector %1 security %2").arg(sector, 2).arg(read.value));
        values.append(QJsonObject{{QStringLiteral("sector"), sector}, {QStringLiteral("value"), read.value}});
    }
    run.result.fields[QStringLiteral("security")] = values;
    return kDone;
}

int BoardJob::securitySet(Run& run) {
    const int sectors = run.part->sectorCount();
    if (*request_.sector >= sectors)
        return fail(run, kUsage, QStringLiteral("the part has sectors 0..%1").arg(sectors - 1));
    if (!writeConfigValue(run.link, configAddress::securityByte(*request_.sector), request_.value))
        return fail(run, kNotDone,
                    QStringLiteral("the security byte of sector %1 was not written (the board refused "
                                   "or did not answer)")
                        .arg(*request_.sector));
    console_.result(prefix_ + QStringLiteral("sector %1 security set to %2").arg(*request_.sector).arg(request_.value));
    return kDone;
}

int BoardJob::clearProtection(Run& run) {
    if (!clearConfigurationProtection(run.ctx))
        return fail(run, kNotDone, QStringLiteral("the configuration protection was not cleared"));
    console_.result(prefix_ + QStringLiteral("configuration protection cleared"));
    return kDone;
}

int BoardJob::automation(Run& run) {
    QString error;
    const std::optional<AutomationScript> script = readAutomationScript(request_.files.constFirst(), &error);
    if (!script)
        return fail(run, kUsage, error);
    CliAutomationHost host(run, request_, console_, prefix_, [this, &run] { return identify(run); });
    const AutomationResult result = runAutomation(host.context(), host, script->lines);
    const bool done = result.allSucceeded && !result.faultNumber;
    run.result.fields[QStringLiteral("verdict")] =
        done ? QStringLiteral("Automatic Programming: Done") : QStringLiteral("Automatic Programming: Error");
    if (result.faultNumber)
        return fail(run, kNotDone, QStringLiteral("the run stopped at %1").arg(result.faultText));
    if (!done)
        return fail(run, kNotDone, QStringLiteral("Automatic Programming: Error (a step failed)"));
    console_.result(prefix_ + QStringLiteral("Automatic Programming: Done"));
    return kDone;
}

} // namespace zelvan::cli
