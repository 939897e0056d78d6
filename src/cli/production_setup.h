#pragma once

#include "cli_request.h"

#include "flash/crc_model.h"
#include "production/golden_crcs.h"
#include "production/record_sink.h"
#include "production/serial_numbers.h"

#include <memory>
#include <optional>
#include <vector>

namespace zelvan::cli {

// What the production options set up once for every board of a run: the signature formulation
// verify computes with, the golden CRCs, where serial numbers come from, where records go.
struct ProductionSetup {
    const CrcVariant* variant = nullptr;
    std::optional<GoldenCrcs> golden;
    std::optional<SerialPlace> serialPlace;
    QString serialFile;
    std::vector<std::unique_ptr<RecordSink>> records;
};

// Reads the production options. Nothing, with the reason (a usage error, exit status 2), when
// one cannot be used: an unknown variant, a golden file that is not one, a serial place that is
// not "ADDR[:BYTES]", a record destination that is not one.
std::optional<ProductionSetup> setUpProduction(const CliOptions& options, QString* error);

} // namespace zelvan::cli
