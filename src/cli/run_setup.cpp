#include "run_setup.h"

#include "board/automation.h"
#include "device/device_catalogue.h"
#include "production/crc_variant_setting.h"
#include "production/serial_source.h"

#include <QStringList>

#include <algorithm>

namespace zelvan::cli {

namespace {

// The input files of the command, read and checked whole.
QString readInputs(RunSetup& setup) {
    const CliRequest& request = setup.request;
    const CliOptions& options = request.options;
    if (request.command == Command::AutoProcedure) {
        const QString path = request.files.constFirst();
        const AutomationScript script = readAutomationFile(path);
        if (script.fault) {
            const AutomationFileFault& fault = *script.fault;
            return fault.line > 0 ? QStringLiteral("%1, line %2: \"%3\" %4")
                                        .arg(path)
                                        .arg(fault.line)
                                        .arg(fault.text, fault.reason)
                                  : QStringLiteral("%1: %2").arg(path, fault.reason);
        }
        // Taking the protection off the bootloader is granted by the option, as for every command.
        const auto unprotects = [](const AutomationLine& line) { return line.command == kNoProtectKeyword; };
        if (!options.noProtect && std::any_of(script.lines.begin(), script.lines.end(), unprotects))
            return QStringLiteral("the file takes the protection off the bootloader (\"noprotect\"); give "
                                  "--no-protect to allow it");
        setup.script = script;
    }
    const QStringList hexFiles = request.command == Command::AutoProcedure ? options.hexFiles : request.files;
    const bool takesHex = request.command == Command::AutoProcedure || request.command == Command::ProgramFirmware ||
                          request.command == Command::VerifyFirmware || request.command == Command::Calibrate;
    if (takesHex) {
        setup.hex = loadHexFiles(hexFiles);
        if (!setup.hex.ok())
            return hexFaultLine(setup.hex.refused->path, setup.hex.refused->result);
    }
    return QString();
}

QString readProductionOptions(RunSetup& setup) {
    const CliOptions& options = setup.request.options;
    setup.variantKnown = !options.crcVariant.isEmpty() || crcVariantCalibrated();
    if (options.crcVariant.isEmpty()) {
        setup.variant = &calibratedCrcVariant();
    } else {
        setup.variant = findCrcVariant(options.crcVariant);
        if (!setup.variant) {
            QStringList names;
            for (const CrcVariant& variant : crcVariants())
                names.append(variant.name);
            return QStringLiteral("--crc-variant: \"%1\" is none of %2").arg(options.crcVariant, names.join(", "));
        }
    }
    QString error;
    if (!options.golden.isEmpty()) {
        setup.golden = loadGoldenCrcs(options.golden, &error);
        if (!setup.golden)
            return error;
    }
    if (!options.serialPlace.isEmpty()) {
        const std::optional<SerialPlace> place = parseSerialPlace(options.serialPlace, &error);
        if (!place)
            return QStringLiteral("--serial %1: %2").arg(options.serialPlace, error);
        std::shared_ptr<SerialSource> source = openSerialSource(options.serialFile, &error);
        if (!source)
            return QStringLiteral("--serial-file %1: %2").arg(options.serialFile, error);
        // A number file that holds no number, or one past the place's range, is refused before any
        // board is touched; so is a place where the number would land on the image's code.
        if (const QString problem = source->check(*place); !problem.isEmpty())
            return problem;
        if (const QString problem = serialOverlapProblem(*place, setup.hex.image); !problem.isEmpty())
            return QStringLiteral("--serial: ") + problem;
        // Golden CRCs come from a chip with another number: the number's sectors can only be
        // checked against the image, which needs the chip's formulation.
        if (setup.golden && !setup.variantKnown)
            return QStringLiteral(
                "--golden cannot check the sectors that hold each chip's own serial number: calibrate "
                "the formulation first (zelvan-cli crc calibrate FILE.hex), choose it with "
                "--crc-variant, or verify with --verify");
        setup.serial = SerialNumbering{*place, std::move(source)};
    }
    for (const QString& destination : options.records) {
        std::unique_ptr<RecordSink> sink = openRecordSink(destination, &error);
        if (!sink)
            return QStringLiteral("--record %1: %2").arg(destination, error);
        setup.records.push_back(std::move(sink));
    }
    return QString();
}

} // namespace

std::unique_ptr<RunSetup> prepareRun(const CliRequest& request, QString* error) {
    auto setup = std::make_unique<RunSetup>();
    setup->request = request;
    const CliOptions& options = request.options;
    const std::optional<LinkTiming> timing = linkTimingFromEnvironment(error);
    if (!timing)
        return nullptr;
    setup->timing = *timing;
    if (options.simulatorPart && !findPartByName(*options.simulatorPart)) {
        *error = QStringLiteral("--simulator: \"%1\" is not a part of the catalogue (see zelvan-programmer "
                                "--list-parts)")
                     .arg(*options.simulatorPart);
        return nullptr;
    }
    const bool erasesChip = request.command == Command::EraseChip ||
                            (request.command == Command::ProgramFirmware && options.erase == EraseMode::Chip);
    if (erasesChip && !options.noProtect) {
        *error = QStringLiteral("a chip erase takes the bootloader with it; give --no-protect to allow it");
        return nullptr;
    }
    *error = readInputs(*setup);
    if (error->isEmpty())
        *error = readProductionOptions(*setup);
    if (!error->isEmpty())
        return nullptr;
    return setup;
}

} // namespace zelvan::cli
