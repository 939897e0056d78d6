#include "job_report.h"

#include "exit_status.h"

#include "common/hex_text.h"

#include <QJsonArray>

namespace zelvan::cli {

namespace {

QString hexAddress(int address) {
    return strDecToHex16(address) + QLatin1Char('H');
}

int fail(JobOutput& output, Ending ending, const QString& reason) {
    output.error = reason;
    return statusOf(ending);
}

void info(const Board& board, JobOutput& output) {
    const Part& part = *board.part();
    const DeviceGeometry& g = part.geometry;
    const QString bootloader =
        g.hasBootloader() ? hexAddress(g.intBootloaderAddr) : QStringLiteral("none (no bootloader area)");
    const QList<std::pair<const char*, QString>> lines{
        {"port", QStringLiteral("%1 (%2)").arg(board.link().portLabel(), board.link().deviceName())},
        {"loader", board.version()},
        {"part", part.description()},
        {"flash", QStringLiteral("%1 bytes").arg(g.flashSize())},
        {"sector", QStringLiteral("%1 bytes (%2 sectors)").arg(g.intSectorSize).arg(g.sectorCount())},
        {"page", QStringLiteral("%1 bytes (%2 pages)").arg(g.intPageSize).arg(g.pageCount())},
        {"bootloader", bootloader},
        {"ids", part.ids.text()},
    };
    for (const auto& [name, value] : lines)
        output.line(QStringLiteral("%1 %2").arg(QString::fromLatin1(name).leftJustified(11), value));
    output.fields[QStringLiteral("description")] = part.description();
    output.fields[QStringLiteral("flash_size")] = g.flashSize();
    output.fields[QStringLiteral("sector_size")] = g.intSectorSize;
    output.fields[QStringLiteral("page_size")] = g.intPageSize;
    output.fields[QStringLiteral("bootloader_address")] =
        g.hasBootloader() ? QJsonValue(g.intBootloaderAddr) : QJsonValue();
}

// The sector CRCs read; a value that is no CRC fails the command.
int sectorCrcs(const SectorCrcReading& reading, JobOutput& output) {
    QJsonArray sectors;
    for (const SectorCrc& crc : reading.values) {
        const int sector = crc.address / reading.sectorSize;
        if (!crcNumber(crc.value))
            return fail(
                output, Ending::NotDone,
                QStringLiteral("the board's answer for sector %1 holds no CRC (\"%2\")").arg(sector).arg(crc.value));
        output.line(
            QStringLiteral("sector %1 %2-%3 CRC %4")
                .arg(sector, 2)
                .arg(strDecToHex16(crc.address), strDecToHex16(crc.address + reading.sectorSize - 1), crc.value));
        sectors.append(QJsonObject{{QStringLiteral("sector"), sector},
                                   {QStringLiteral("address"), crc.address},
                                   {QStringLiteral("crc"), crc.value}});
    }
    output.fields[QStringLiteral("sectors")] = sectors;
    return reading.done() ? kDone : fail(output, reading.ending, reading.reason);
}

int verification(const Verification& verified, const Board& board, const CliRequest& request, JobOutput& output) {
    output.crcsVerified = verified.compared;
    output.fields[QStringLiteral("crcs_verified")] = verified.compared;
    if (verified.ending == Ending::Mismatch)
        output.fields[QStringLiteral("mismatched")] = sectorsText(verified.mismatched, board.part()->geometry);
    if (!verified.done())
        return fail(output, verified.ending,
                    (verified.ending == Ending::Mismatch ? QString() : QStringLiteral("verify: ")) + verified.reason);
    output.line(QStringLiteral("verified %1 CRC(s) against %2")
                    .arg(verified.compared)
                    .arg(request.options.golden.isEmpty() ? QStringLiteral("the image (%1)").arg(output.variantName)
                                                          : QStringLiteral("the golden CRCs")));
    return kDone;
}

int programming(const ChipProgramming& result, const Board& board, const CliRequest& request, JobOutput& output) {
    if (result.serialNumber)
        output.fields[QStringLiteral("serial_number")] = static_cast<qint64>(*result.serialNumber);
    const ProgramResult& programmed = result.programmed;
    output.fields[QStringLiteral("sectors_erased")] = result.sectorsErased;
    output.fields[QStringLiteral("pages_erased")] = result.pagesErased;
    output.fields[QStringLiteral("pages_written")] = programmed.pagesWritten;
    output.fields[QStringLiteral("pages_skipped")] = programmed.pagesSkipped;
    if (!result.verification && !result.done())
        return fail(output, result.ending, result.reason);
    const QString besideBootloader =
        result.pagesErased > 0 ? QStringLiteral(" and %1 page(s) beside the bootloader").arg(result.pagesErased)
                               : QString();
    QString line = QStringLiteral("programmed %1 page(s) (%2 sector(s)%3 erased first)")
                       .arg(programmed.pagesWritten)
                       .arg(result.sectorsErased)
                       .arg(besideBootloader);
    if (programmed.pagesSkipped > 0)
        line += QStringLiteral("; %1 page(s) in the bootloader area not written").arg(programmed.pagesSkipped);
    if (result.sectorsSent) {
        line += QStringLiteral("; %1 sector(s) sent, %2 already right")
                    .arg(*result.sectorsSent)
                    .arg(*result.sectorsUnchanged);
        output.fields[QStringLiteral("sectors_sent")] = *result.sectorsSent;
        output.fields[QStringLiteral("sectors_unchanged")] = *result.sectorsUnchanged;
    }
    output.line(line);
    return result.verification ? verification(*result.verification, board, request, output) : kDone;
}

// The line a command that only reads or writes one thing prints when done.
QString doneLine(Command command, const CliRequest& request, const CommandResult& result) {
    switch (command) {
    case Command::ICP:
    case Command::OFF:
        return QString::fromLatin1(commandRow(command).phrase) + QStringLiteral(": Done");
    case Command::EraseChip:
        return QStringLiteral("chip erased");
    case Command::CCP:
        return QStringLiteral("configuration protection cleared");
    case Command::ConfigGet:
        return QStringLiteral("%1 %2").arg(request.configByte->key, result.as<ValueReading>()->value);
    case Command::ConfigSet:
        return QStringLiteral("%1 set to %2").arg(request.configByte->key, request.value);
    case Command::SecuritySet:
        return QStringLiteral("sector %1 security set to %2").arg(*request.sector).arg(request.value);
    case Command::AutoProcedure:
        return QStringLiteral("Automatic Programming: Done");
    default:
        return QString();
    }
}

} // namespace

void describeStep(Command command, const CommandResult& result, JobOutput& output) {
    if (const auto* crc = result.as<ValueReading>(); crc && crc->done() && command == Command::GetGlobalCRC)
        output.line(QStringLiteral("global CRC %1").arg(crc->value));
    if (const auto* reading = result.as<SectorCrcReading>()) {
        for (const SectorCrc& crc : reading->values)
            output.line(QStringLiteral("sector %1 CRC %2").arg(crc.address / reading->sectorSize, 2).arg(crc.value));
    }
    if (const auto* programmed = result.as<ChipProgramming>(); programmed && programmed->nothingLoaded)
        output.console.note(output.prefix + QStringLiteral("note: \"program\" with no --hex file: nothing to write"));
}

int describe(Command command, const CliRequest& request, const Board& board, const CommandResult& result,
             JobOutput& output) {
    switch (command) {
    case Command::GetID:
        info(board, output);
        return kDone;
    case Command::GetSectorCRC:
        return sectorCrcs(*result.as<SectorCrcReading>(), output);
    case Command::ProgramFirmware:
        return programming(*result.as<ChipProgramming>(), board, request, output);
    case Command::VerifyFirmware:
        return verification(*result.as<Verification>(), board, request, output);
    case Command::AutoProcedure: {
        const AutomationResult& ran = *result.as<AutomationResult>();
        output.fields[QStringLiteral("verdict")] =
            closingStatus(QStringLiteral("Automatic Programming"), ran.done() ? Ending::Done : Ending::NotDone);
        if (!ran.done() && !ran.faultNumber && ran.ending != Ending::Interrupted)
            return fail(output, ran.ending, QStringLiteral("Automatic Programming: Error (%1)").arg(ran.reason));
        break;
    }
    case Command::Calibrate: {
        const Calibration& calibration = *result.as<Calibration>();
        QStringList names;
        for (const CrcVariant* variant : calibration.matches)
            names.append(variant->name);
        output.fields[QStringLiteral("matching")] = QJsonArray::fromStringList(names);
        if (calibration.done())
            output.line(QStringLiteral("calibrated: the chip's CRCs are %1; stored for verify").arg(names.front()));
        break;
    }
    default:
        break;
    }
    const Result& ended = result.base();
    if (!ended.done())
        return fail(output, ended.ending, ended.reason);
    if (const auto* erased = result.as<RangeEraseResult>()) {
        QString line = QStringLiteral("erased %1 %2 from %3")
                           .arg(erased->erased)
                           .arg(command == Command::ErasePage ? "pages" : "sectors")
                           .arg(hexAddress(erased->from));
        if (erased->protectedAt)
            line += QStringLiteral("; %1 and up kept for the bootloader").arg(hexAddress(*erased->protectedAt));
        output.line(line);
        output.fields[QStringLiteral("erased")] = erased->erased;
    } else if (const auto* crc = result.as<ValueReading>(); crc && command == Command::GetGlobalCRC) {
        if (!crcNumber(crc->value))
            return fail(output, Ending::NotDone,
                        QStringLiteral("the board's answer holds no CRC (\"%1\")").arg(crc->value));
        output.fields[QStringLiteral("global_crc")] = crc->value;
        output.line(QStringLiteral("global CRC %1").arg(crc->value));
    } else if (const auto* reading = result.as<SecurityReading>()) {
        QJsonArray values;
        for (const auto& [sector, value] : reading->values) {
            output.line(QStringLiteral("sector %1 security %2").arg(sector, 2).arg(value));
            values.append(QJsonObject{{QStringLiteral("sector"), sector}, {QStringLiteral("value"), value}});
        }
        output.fields[QStringLiteral("security")] = values;
    } else if (const auto* golden = result.as<GoldenReading>()) {
        for (const auto& [sector, crc] : golden->golden->sectors)
            output.line(QStringLiteral("sector %1 CRC %2").arg(sector, 2).arg(crcText(crc)));
        output.line(QStringLiteral("global CRC %1; saved as golden CRCs in %2")
                        .arg(crcText(golden->golden->global), request.options.saveGolden));
    } else if (const QString line = doneLine(command, request, result); !line.isEmpty()) {
        output.line(line);
        if (request.configByte)
            output.fields[request.configByte->key] =
                result.as<ValueReading>() ? result.as<ValueReading>()->value : request.value;
    }
    return kDone;
}

} // namespace zelvan::cli
