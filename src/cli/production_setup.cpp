#include "production_setup.h"

#include "production/crc_variant_setting.h"

#include <QStringList>

namespace zelvan::cli {

std::optional<ProductionSetup> setUpProduction(const CliOptions& options, QString* error) {
    ProductionSetup setup;
    if (options.crcVariant.isEmpty()) {
        setup.variant = &calibratedCrcVariant();
    } else {
        setup.variant = findCrcVariant(options.crcVariant);
        if (!setup.variant) {
            QStringList names;
            for (const CrcVariant& variant : crcVariants())
                names.append(variant.name);
            *error = QStringLiteral("--crc-variant: \"%1\" is none of %2").arg(options.crcVariant, names.join(", "));
            return std::nullopt;
        }
    }
    if (!options.golden.isEmpty()) {
        setup.golden = loadGoldenCrcs(options.golden, error);
        if (!setup.golden)
            return std::nullopt;
    }
    if (!options.serialPlace.isEmpty()) {
        QString reason;
        setup.serialPlace = parseSerialPlace(options.serialPlace, &reason);
        if (!setup.serialPlace) {
            *error = QStringLiteral("--serial %1: %2").arg(options.serialPlace, reason);
            return std::nullopt;
        }
        setup.serialFile = options.serialFile;
    }
    for (const QString& destination : options.records) {
        std::unique_ptr<RecordSink> sink = openRecordSink(destination, error);
        if (!sink) {
            *error = QStringLiteral("--record %1: %2").arg(destination, *error);
            return std::nullopt;
        }
        setup.records.push_back(std::move(sink));
    }
    return setup;
}

} // namespace zelvan::cli
