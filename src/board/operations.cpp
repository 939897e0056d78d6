// The operations of the command table: each takes what its front end gathered and runs the
// procedures of the layers below on the board.

#include "operations.h"

#include "automation.h"
#include "board_letters.h"

#include "common/hex_text.h"
#include "link/isp_commands.h"
#include "production/crc_variant_setting.h"

#include <QFileInfo>

namespace zelvan::operations {

namespace {

const DeviceGeometry& geometry(const CommandCall& call) {
    return call.board.part()->geometry;
}

// The units a range command works on: the range the front end chose, or the units it named by
// their bounds; nothing, with the reason, for units the part does not have.
std::optional<UnitRange> unitsOf(const CommandCall& call, const RangeErase& kind, QString* error) {
    if (!call.request.units)
        return call.request.range;
    return resolveUnits(*call.request.units, kind.unitSize(geometry(call)), kind.unitCount(geometry(call)), error);
}

CommandResult eraseUnits(CommandCall& call, const RangeErase& kind) {
    LinkContext ctx = call.board.context(call.progress);
    RangeEraseResult result;
    if (const std::optional<UnitRange> units = unitsOf(call, kind, &result.reason))
        return eraseRange(ctx, kind, geometry(call), *units, call.board.protect());
    result.ending = Ending::BadInput;
    return result;
}

// Golden CRCs of another part compare with nothing on this one.
QString goldenProblem(const CommandCall& call) {
    const GoldenCrcs* golden = call.request.program.verify.golden;
    if (call.request.program.verify.kind != VerifyChoice::Kind::Golden || !golden)
        return QString();
    const Part& part = *call.board.part();
    if (golden->partName == part.name())
        return QString();
    return QStringLiteral("the golden CRCs are those of an %1; this part is %2")
        .arg(golden->partName, part.entry ? QStringLiteral("an ") + part.name() : QStringLiteral("unknown"));
}

// A sector the part has, or the reason it has not.
QString sectorProblem(const CommandCall& call, int sector) {
    const int sectors = geometry(call).sectorCount();
    return sector < sectors ? QString() : QStringLiteral("the part has sectors 0..%1").arg(sectors - 1);
}

} // namespace

CommandResult icpMode(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    return sendBoardLetter(ctx, icpModeLetter());
}

CommandResult powerOff(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    return sendBoardLetter(ctx, powerOffLetter());
}

CommandResult loaderVersion(CommandCall& call) {
    return call.board.readVersion(call.progress);
}

CommandResult identify(CommandCall& call) {
    return call.board.identify(call.progress);
}

CommandResult eraseWholeChip(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    return eraseChip(ctx, call.questions, call.board.protect());
}

CommandResult erasePages(CommandCall& call) {
    return eraseUnits(call, pageErase());
}

CommandResult eraseSectors(CommandCall& call) {
    return eraseUnits(call, sectorErase());
}

CommandResult globalCrc(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    return readGlobalCrc(ctx);
}

CommandResult sectorCrcs(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    SectorCrcReading result;
    if (const std::optional<UnitRange> units = unitsOf(call, sectorErase(), &result.reason))
        return readSectorCrcs(ctx, geometry(call).intSectorSize, *units);
    result.ending = Ending::BadInput;
    return result;
}

CommandResult program(CommandCall& call) {
    // Programming with nothing loaded would send nothing and pass for done work.
    if (!call.request.program.image) {
        ChipProgramming nothing;
        nothing.nothingLoaded = true;
        nothing.end(Ending::NotDone, QStringLiteral("no firmware is loaded"));
        return nothing;
    }
    if (const QString problem = goldenProblem(call); !problem.isEmpty()) {
        ChipProgramming refused;
        refused.end(Ending::BadInput, problem);
        return refused;
    }
    return programChip(call.board, call.progress, call.questions, call.request.program);
}

CommandResult editConfiguration(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    return editConfigByte(ctx, call.questions, *call.request.configByte);
}

CommandResult editSecurity(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    return programSecurityBytes(ctx, call.questions, geometry(call));
}

CommandResult clearProtection(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    return clearConfigurationProtection(ctx);
}

CommandResult automation(CommandCall& call) {
    return runAutomationScript(call.board, call.progress, *call.request.automation, *call.request.script);
}

Verification refusedVerification(const QString& problem) {
    Verification refused;
    refused.end(Ending::BadInput, problem);
    return refused;
}

CommandResult verify(CommandCall& call) {
    const ProgramRequest& program = call.request.program;
    LinkContext ctx = call.board.context(call.progress);
    if (const QString problem = goldenProblem(call); !problem.isEmpty())
        return refusedVerification(problem);
    call.progress.step(QStringLiteral("Verifying Firmware..."));
    if (program.verify.kind == VerifyChoice::Kind::Golden)
        return verifyAgainstGolden(ctx, geometry(call), *program.verify.golden);
    return verifyAgainstImage(ctx, geometry(call), *program.image, *program.verify.variant, program.verify.variantKnown,
                              program.erase == EraseMode::Chip);
}

CommandResult compareGolden(CommandCall& call) {
    if (const QString problem = goldenProblem(call); !problem.isEmpty())
        return refusedVerification(problem);
    LinkContext ctx = call.board.context(call.progress);
    call.progress.step(QStringLiteral("Comparing with Golden CRCs..."));
    return verifyAgainstGolden(ctx, geometry(call), *call.request.program.verify.golden);
}

CommandResult saveGolden(CommandCall& call) {
    const Part& part = *call.board.part();
    GoldenReading reading;
    if (!part.entry)
        return static_cast<GoldenReading&>(reading.end(
            Ending::BadInput, QStringLiteral("the part is not in the catalogue: its CRCs cannot be named")));
    LinkContext ctx = call.board.context(call.progress);
    call.progress.step(QStringLiteral("Saving Golden CRCs..."));
    reading = readGoldenCrcs(ctx, part.geometry, part.name());
    QString error;
    if (reading.golden && !saveGoldenCrcs(call.request.path, *reading.golden, &error))
        reading.end(Ending::NotDone, error);
    return reading;
}

CommandResult calibrateCrc(CommandCall& call) {
    LinkContext ctx = call.board.context(call.progress);
    call.progress.step(QStringLiteral("Calibrating CRC..."));
    Calibration calibration = calibrate(ctx, geometry(call), call.request.program.image->bytes());
    if (calibration.done())
        storeCalibratedCrcVariant(*calibration.matches.front());
    return calibration;
}

CommandResult configGet(CommandCall& call) {
    const ConfigByte& byte = *call.request.configByte;
    const ConfigRead read = readConfigValue(call.board.link(), byte.address);
    ValueReading reading;
    if (read.ok() && isHexText(read.value, 2))
        reading.value = read.value;
    reading.end(
        read.ok() && reading.value.isEmpty() ? Ending::NotDone : endingOf(read.outcome),
        QStringLiteral("%1 could not be read (%2)")
            .arg(byte.name, read.ok() ? QStringLiteral("the answer holds no byte") : failureText(read.outcome)));
    if (reading.done())
        reading.reason.clear();
    return reading;
}

CommandResult configSet(CommandCall& call) {
    const ConfigByte& byte = *call.request.configByte;
    Result written = writeConfigValue(call.board.link(), byte.address, call.request.value);
    if (!written.done())
        written.reason = QStringLiteral("%1 was not written (%2)").arg(byte.name, written.reason);
    return written;
}

CommandResult securityGet(CommandCall& call) {
    SecurityReading reading;
    if (call.request.sector) {
        if (const QString problem = sectorProblem(call, *call.request.sector); !problem.isEmpty())
            return static_cast<SecurityReading&>(reading.end(Ending::BadInput, problem));
    }
    const int first = call.request.sector.value_or(0);
    const int last = call.request.sector.value_or(geometry(call).sectorCount() - 1);
    reading.end(Ending::Done);
    for (int sector = first; sector <= last; ++sector) {
        const ConfigRead read = readConfigValue(call.board.link(), configAddress::securityByte(sector));
        if (!read.ok() || !isHexText(read.value, 2)) {
            reading.end(read.ok() ? Ending::NotDone : endingOf(read.outcome),
                        QStringLiteral("the security byte of sector %1 could not be read (%2)")
                            .arg(sector)
                            .arg(read.ok() ? QStringLiteral("the answer holds no byte") : failureText(read.outcome)));
            break;
        }
        reading.values.append({sector, read.value});
    }
    return reading;
}

CommandResult securitySet(CommandCall& call) {
    const int sector = call.request.sector.value_or(0);
    if (const QString problem = sectorProblem(call, sector); !problem.isEmpty())
        return Result{Ending::BadInput, problem};
    Result written = writeConfigValue(call.board.link(), configAddress::securityByte(sector), call.request.value);
    if (!written.done())
        written.reason =
            QStringLiteral("the security byte of sector %1 was not written (%2)").arg(sector).arg(written.reason);
    return written;
}

} // namespace zelvan::operations

namespace zelvan {

std::optional<UnitRange> resolveUnits(const UnitChoice& choice, int unitSize, int unitCount, QString* error) {
    if (!choice.first)
        return UnitRange{0, unitCount - 1};
    const auto index = [&](const UnitBound& bound) -> std::optional<int> {
        if (!bound.isAddress)
            return bound.value;
        if (bound.value % unitSize != 0) {
            *error = QStringLiteral("%1H is not the first address of a %2-byte unit")
                         .arg(strDecToHex16(bound.value))
                         .arg(unitSize);
            return std::nullopt;
        }
        return bound.value / unitSize;
    };
    const std::optional<int> first = index(*choice.first);
    const std::optional<int> last = first ? index(choice.last.value_or(*choice.first)) : std::nullopt;
    if (!first || !last)
        return std::nullopt;
    if (*first > *last || *last >= unitCount) {
        *error = QStringLiteral("the range %1..%2 is not within the part's units 0..%3")
                     .arg(*first)
                     .arg(*last)
                     .arg(unitCount - 1);
        return std::nullopt;
    }
    return UnitRange{*first, *last};
}

} // namespace zelvan
