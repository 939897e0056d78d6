#pragma once

#include "board.h"

#include "common/questions.h"
#include "firmware/firmware_cache.h"
#include "firmware/programming.h"
#include "flash/crc_model.h"
#include "flash/erasing.h"
#include "production/golden_crcs.h"
#include "production/serial_numbers.h"
#include "production/serial_place.h"

#include "production/verification.h"
#include <memory>

#include <QList>

#include <optional>

namespace zelvan {

// What a programming erases before it writes: every sector the image writes into, the whole
// chip, or nothing (the window's Program Firmware, which erases with its own commands).
enum class EraseMode { Used, Chip, None };

// What the chip is checked against after programming.
struct VerifyChoice {
    enum class Kind { None, Image, Golden };
    Kind kind = Kind::None;
    const CrcVariant* variant = nullptr; // Image: the formulation of the signature
    const GoldenCrcs* golden = nullptr;  // Golden: the CRCs of a chip known to be good
    bool variantKnown = false;           // Image: the formulation was calibrated or chosen
};

// Where each chip's serial number comes from and where it goes.
struct SerialNumbering {
    SerialPlace place;
    std::shared_ptr<SerialSource> source;
};

struct ProgramRequest {
    const FirmwareCache* image = nullptr; // laid out for the part
    EraseMode erase = EraseMode::None;
    bool quick = false;
    // Only the sectors (and configuration bytes) whose CRC (value) differs from the image's are
    // sent; every sector the image writes is verified afterwards.
    bool changedOnly = false;
    VerifyChoice verify;
    const SerialNumbering* serial = nullptr;
};

// What is erased before the image is written: every sector it writes into, in runs of neighbours.
// A sector protection keeps (it also holds the bootloader) is not erased whole: the pages the
// image writes into in it below the bootloader are erased one by one instead.
struct ErasePlan {
    QList<UnitRange> sectors;
    QList<UnitRange> pages;
};
ErasePlan unitsToErase(const FirmwareCache& image, const DeviceGeometry& part, bool protect);

struct ChipProgramming : Result {
    bool nothingLoaded = false; // there was no firmware to program: nothing was sent
    std::optional<quint64> serialNumber;
    int sectorsErased = 0;
    int pagesErased = 0;
    std::optional<int> sectorsSent;      // with changedOnly: the sectors sent
    std::optional<int> sectorsUnchanged; // with changedOnly: the sectors the chip held already
    ProgramResult programmed;
    std::optional<Verification> verification; // set once the verify began: the rest was done
};

// Programs the identified part: the serial number (taken before anything is written, and laid
// over the image), the erase, the pages and configuration bytes, then the verify. Each stage that
// does not end done ends the whole.
ChipProgramming programChip(Board& board, Progress& progress, Questions& questions, const ProgramRequest& request);

} // namespace zelvan
