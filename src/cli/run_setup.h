#pragma once

#include "arguments.h"

#include "automation/automation_file.h"
#include "board/chip_programming.h"
#include "firmware/firmware_loading.h"
#include "link/link_timing.h"
#include "production/golden_crcs.h"
#include "production/record_sink.h"

#include <memory>
#include <optional>
#include <vector>

namespace zelvan::cli {

// Everything a run needs that is the same for every board, read and checked once before any board
// is touched: the time limits, the HEX files (read once, laid out for each board's part), the
// automation file, the signature formulation, the golden CRCs, where serial numbers come from and
// where records go.
struct RunSetup {
    CliRequest request;
    LinkTiming timing;
    HexFiles hex;
    std::optional<AutomationScript> script;
    const CrcVariant* variant = nullptr;
    bool variantKnown = false; // calibrated or chosen with --crc-variant
    std::optional<GoldenCrcs> golden;
    std::optional<SerialNumbering> serial;
    std::vector<std::unique_ptr<RecordSink>> records;
};

// Reads and checks everything before the board is touched. Nothing, with the reason (a usage error
// or an input that is refused: exit status 2, nothing sent), when something cannot be used.
std::unique_ptr<RunSetup> prepareRun(const CliRequest& request, QString* error);

} // namespace zelvan::cli
