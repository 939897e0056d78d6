#include "cli_automation_host.h"

#include "hex_files.h"

#include "firmware/programming.h"
#include "flash/crc_readback.h"
#include "flash/erasing.h"
#include "programmer/board_commands.h"

namespace zelvan::cli {

namespace {

StepOutcome outcome(bool succeeded) {
    return succeeded ? StepOutcome::Succeeded : StepOutcome::Failed;
}

} // namespace

CliAutomationHost::CliAutomationHost(BoardJob::Run& run, const CliRequest& request, Console& console, QString prefix,
                                     std::function<bool()> identify)
    : run_(run)
    , request_(request)
    , console_(console)
    , prefix_(std::move(prefix))
    , identify_(std::move(identify))
    , quiet_(run.dialogs)
    , ctx_{run.link, run.feedback, quiet_, run.ctx.stop}
    , protect_(!request.options.noProtect) {}

bool CliAutomationHost::ensurePart(QString& faultText) {
    if (!run_.part && !identify_()) {
        faultText = run_.result.error;
        return false;
    }
    if (!firmware_ && !request_.options.hexFiles.isEmpty()) {
        FirmwareCache cache;
        cache.recreate(run_.part->intFlashLastAddr);
        if (!loadHexFiles(request_.options.hexFiles, cache, *run_.part, prefix_, console_, &faultText))
            return false;
        firmware_ = std::move(cache);
    }
    return true;
}

StepOutcome CliAutomationHost::runKeyword(CommandKeyword keyword, QString& faultText) {
    if (keywordNeedsPart(keyword) && !ensurePart(faultText))
        return StepOutcome::Fault;
    const DeviceGeometry* part = run_.part ? &*run_.part : nullptr;
    switch (keyword) {
    case CommandKeyword::Pon:
        return outcome(runBoardCommand(ctx_, icpModeCommand()));
    case CommandKeyword::Poff:
        return outcome(runBoardCommand(ctx_, powerOffCommand()));
    case CommandKeyword::Gcrc:
        if (const std::optional<QString> crc = readGlobalCrc(ctx_)) {
            console_.result(prefix_ + QStringLiteral("global CRC %1").arg(*crc));
            return StepOutcome::Succeeded;
        }
        return StepOutcome::Failed;
    case CommandKeyword::Scrc: {
        run_.progress.setTask(QStringLiteral("reading CRCs"), QStringLiteral("sectors"));
        const SectorCrcReading reading = readSectorCrcs(ctx_, part->intSectorSize, 0, part->sectorCount() - 1);
        for (const SectorCrc& crc : reading.values)
            console_.result(
                prefix_ + QStringLiteral("sector %1 CRC %2").arg(crc.address / part->intSectorSize, 2).arg(crc.value));
        return outcome(reading.ending == Ending::Done);
    }
    case CommandKeyword::Echip:
        return outcome(eraseChip(ctx_, protect_));
    case CommandKeyword::Epage:
        run_.progress.setTask(QStringLiteral("erasing"), QStringLiteral("pages"));
        return outcome(eraseRange(ctx_, pageErase(), *part, 0, part->pageCount() - 1, protect_).done());
    case CommandKeyword::Esector:
        run_.progress.setTask(QStringLiteral("erasing"), QStringLiteral("sectors"));
        return outcome(eraseRange(ctx_, sectorErase(), *part, 0, part->sectorCount() - 1, protect_).done());
    case CommandKeyword::Program:
        // With no --hex file nothing is loaded: programming would send nothing and pass for done.
        if (!firmware_) {
            console_.note(prefix_ + QStringLiteral("note: \"program\" with no --hex file: nothing to write"));
            return StepOutcome::Failed;
        }
        run_.progress.setTask(QStringLiteral("programming"), QStringLiteral("pages"));
        return outcome(programFirmware(ctx_, *firmware_, *part, request_.options.quick, protect_).done());
    case CommandKeyword::NoProtect:
    case CommandKeyword::Protect:
        break;
    }
    return StepOutcome::Succeeded;
}

} // namespace zelvan::cli
