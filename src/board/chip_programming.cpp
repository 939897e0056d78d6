#include "chip_programming.h"

#include "common/hex_text.h"
#include "flash/configuration.h"
#include "flash/crc_readback.h"

namespace zelvan {

namespace {

// Adds a unit to the runs, joining it to the last run when it follows it.
void addUnit(QList<UnitRange>& runs, int unit) {
    if (!runs.isEmpty() && runs.last().last == unit)
        return;
    if (!runs.isEmpty() && runs.last().last + 1 == unit)
        runs.last().last = unit;
    else
        runs.append({unit, unit});
}

// Erases what the request asks for before programming.
void erase(Board& board, LinkContext& ctx, Questions& questions, const FirmwareCache& image,
           const ProgramRequest& request, ChipProgramming& result) {
    const DeviceGeometry& part = board.part()->geometry;
    if (request.erase == EraseMode::Chip) {
        const ChipEraseResult erased = eraseChip(ctx, questions, board.protect());
        static_cast<Result&>(result) = erased;
        if (!erased.done())
            result.reason = QStringLiteral("the chip erase before programming failed (%1)").arg(erased.reason);
        return;
    }
    result.end(Ending::Done);
    if (request.erase == EraseMode::None)
        return;
    const ErasePlan plan = unitsToErase(image, part, board.protect());
    for (const auto& [kind, runs] : {std::pair{&sectorErase(), plan.sectors}, std::pair{&pageErase(), plan.pages}}) {
        for (const UnitRange& units : runs) {
            const RangeEraseResult erased = eraseRange(ctx, *kind, part, units, board.protect());
            (kind == &sectorErase() ? result.sectorsErased : result.pagesErased) += erased.erased;
            if (!erased.done()) {
                result.end(erased.ending, QStringLiteral("the erase before programming failed (%1 sector(s) and %2 "
                                                         "page(s) erased; %3)")
                                              .arg(result.sectorsErased)
                                              .arg(result.pagesErased)
                                              .arg(erased.reason));
                return;
            }
        }
    }
}

// The CRCs of the sectors the bootloader shares, read after their user pages were erased and
// before they are programmed: what a verify afterwards combines with the image's bytes there.
std::optional<std::map<int, quint32>> readBaselines(Board& board, LinkContext& ctx, const FirmwareCache& image,
                                                    const ProgramRequest& request, ChipProgramming& result) {
    const DeviceGeometry& part = board.part()->geometry;
    if (request.verify.kind != VerifyChoice::Kind::Image || !board.protect())
        return std::map<int, quint32>();
    const QList<int> shared = sharedSectors(image, part);
    if (shared.isEmpty())
        return std::map<int, quint32>();
    const SectorCrcValues read = readSectorCrcValues(ctx, part, shared);
    if (!read.done()) {
        static_cast<Result&>(result) = read;
        return std::nullopt;
    }
    return read.crcs;
}

// The sectors the serial number's bytes occupy: one, or two when it crosses a sector's end.
QList<int> serialSectorsOf(const ProgramRequest& request, const DeviceGeometry& part) {
    QList<int> sectors;
    if (!request.serial)
        return sectors;
    const int first = static_cast<int>(request.serial->place.address);
    for (int sector = first / part.intSectorSize;
         sector <= (first + request.serial->place.bytes - 1) / part.intSectorSize; ++sector)
        sectors.append(sector);
    return sectors;
}

void verify(Board& board, LinkContext& ctx, const FirmwareCache& image, const ProgramRequest& request,
            const std::map<int, quint32>& baselines, ChipProgramming& result) {
    ctx.progress.step(QStringLiteral("Verifying Firmware..."));
    const DeviceGeometry& part = board.part()->geometry;
    const bool bootloaderErased = !board.protect() && request.erase == EraseMode::Used;
    if (request.verify.kind == VerifyChoice::Kind::Golden) {
        // The serial number's sectors differ from the golden chip's: with a known formulation they
        // are checked against the image, which holds this chip's number.
        SerialSectors serial{serialSectorsOf(request, part), {}};
        if (!serial.sectors.isEmpty() && request.verify.variant && request.verify.variantKnown) {
            const std::map<int, quint32> decided =
                expectedCrcs(image.bytes(), part, *request.verify.variant, request.erase == EraseMode::Chip,
                             writtenSectors(image, part), baselines, bootloaderErased)
                    .decided();
            for (const int sector : serial.sectors) {
                if (const auto crc = decided.find(sector); crc != decided.end())
                    serial.expected[sector] = crc->second;
            }
        }
        result.verification = verifyAgainstGolden(ctx, part, *request.verify.golden, serial);
    } else {
        result.verification = verifyAgainstImage(ctx, part, image, *request.verify.variant, request.verify.variantKnown,
                                                 request.erase == EraseMode::Chip, baselines, bootloaderErased);
    }
    static_cast<Result&>(result) = *result.verification;
}

// What a --changed-only programming leaves out: the sectors whose CRC the chip reports as the image's
// (the serial number's sectors always differ), and the configuration values the chip holds. Leaves
// nothing out, and says why, when it cannot tell: the formulation is neither calibrated nor chosen
// nor golden, or a CRC cannot be read.
void leaveOutWhatIsThere(Board& board, LinkContext& ctx, const ProgramRequest& request, FirmwareCache& image,
                         ChipProgramming& result) {
    const DeviceGeometry& part = board.part()->geometry;
    const std::vector<bool> writtenHere = writtenSectors(image, part);
    QList<int> written;
    for (int sector = 0; sector < part.sectorCount(); ++sector) {
        if (writtenHere[static_cast<size_t>(sector)])
            written.append(sector);
    }
    result.sectorsSent = static_cast<int>(written.size());
    result.sectorsUnchanged = 0;
    const bool golden = request.verify.kind == VerifyChoice::Kind::Golden;
    if (!golden && !request.verify.variantKnown) {
        ctx.progress.notice(QStringLiteral("the formulation of the CRC is neither calibrated nor chosen: every sector "
                                           "the files write is sent"));
        return;
    }
    const SectorCrcValues read = readSectorCrcValues(ctx, part, written);
    if (!read.done()) {
        ctx.progress.notice(QStringLiteral("%1: every sector the files write is sent").arg(read.reason));
        return;
    }
    const std::map<int, quint32> expected =
        golden ? request.verify.golden->sectors
               : expectedCrcs(image.bytes(), part, *request.verify.variant, false, writtenHere, {}, !board.protect())
                     .decided();
    const QList<int> serialSectors = serialSectorsOf(request, part);
    for (const int sector : written) {
        const auto crc = expected.find(sector);
        if (serialSectors.contains(sector) || crc == expected.end() || crc->second != read.crcs.at(sector))
            continue;
        image.forget(sector * part.intSectorSize, part.intSectorSize);
        --*result.sectorsSent;
        ++*result.sectorsUnchanged;
    }
    for (int index = 0; index < 4; ++index) {
        const ConfigRead value = image.hasConfig(index) ? readConfigValue(ctx.link, index) : ConfigRead{};
        if (value.ok() && value.value.compare(QString::fromLatin1(image.configText(index)), Qt::CaseInsensitive) == 0)
            image.forgetConfig(index);
    }
}

} // namespace

ErasePlan unitsToErase(const FirmwareCache& image, const DeviceGeometry& part, bool protect) {
    ErasePlan plan;
    for (const int page : pagesToProgram(image, part.intPageSize)) {
        const int sector = page / part.intSectorSize;
        if (!protect || !sectorErase().isProtected(sector * part.intSectorSize, part))
            addUnit(plan.sectors, sector);
        else if (!pageErase().isProtected(page, part))
            addUnit(plan.pages, page / part.intPageSize);
    }
    return plan;
}

ChipProgramming programChip(Board& board, Progress& progress, Questions& questions, const ProgramRequest& request) {
    ChipProgramming result;
    LinkContext ctx = board.context(progress);
    const DeviceGeometry& part = board.part()->geometry;
    FirmwareCache image = *request.image;

    if (request.serial) {
        const SerialPlace& place = request.serial->place;
        // A place the part does not have is refused before a number is taken or anything written.
        if (const QString problem = serialPlaceProblem(place, part); !problem.isEmpty())
            return static_cast<ChipProgramming&>(result.end(Ending::BadInput, QStringLiteral("--serial: ") + problem));
        const SerialTake taken = request.serial->source->take(place, &board.stop());
        if (!taken.number)
            return static_cast<ChipProgramming&>(
                result.end(taken.failure == SerialTake::Failure::BadInput ? Ending::BadInput : Ending::NotDone,
                           QStringLiteral("no serial number was taken: ") + taken.error));
        // From here on the number is this chip's, whatever happens: numbers may skip, never repeat.
        result.serialNumber = *taken.number;
        laySerialNumber(image, place, *taken.number);
        progress.notice(QStringLiteral("serial number %1 at %2H")
                            .arg(*taken.number)
                            .arg(strDecToHex16(static_cast<int>(place.address))));
    }

    // What is sent: the image, or with changedOnly what of it the chip does not hold already. Every
    // sector of the whole image is verified afterwards.
    FirmwareCache sent = image;
    ProgramRequest checked = request;
    if (request.changedOnly) {
        leaveOutWhatIsThere(board, ctx, request, sent, result);
        if (checked.verify.kind == VerifyChoice::Kind::None)
            checked.verify.kind = VerifyChoice::Kind::Image;
    }
    erase(board, ctx, questions, sent, checked, result);
    if (!result.done())
        return result;
    const std::optional<std::map<int, quint32>> baselines = readBaselines(board, ctx, sent, checked, result);
    if (!baselines)
        return result;

    result.programmed = programFirmware(ctx, sent, part, request.quick, board.protect());
    static_cast<Result&>(result) = result.programmed;
    if (!result.done() || checked.verify.kind == VerifyChoice::Kind::None)
        return result;
    verify(board, ctx, image, checked, *baselines, result);
    return result;
}

} // namespace zelvan
