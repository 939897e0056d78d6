#pragma once

#include "golden_crcs.h"

#include "device/device_catalogue.h"
#include "flash/crc_model.h"
#include "production/chip_record.h"
#include "programmer/command_context.h"

#include <QByteArrayView>
#include <QList>

#include <map>
#include <optional>

namespace zelvan {

// What the chip reported against what it should report.
struct Verification {
    bool read = false;     // every CRC asked for was answered
    QList<int> mismatched; // sectors whose CRC differs (-1 stands for the global CRC)
    std::map<int, RecordedCrc> sectors;
    RecordedCrc global;
    int compared = 0; // CRCs compared (sectors, and the global one for golden)

    bool passed() const { return read && mismatched.isEmpty() && compared > 0; }
};

// Reads the CRC of every sector the image decides and compares it with what the model gives for
// the image (see expectedCrcs). The user may stop it between sectors.
Verification verifyAgainstImage(CommandContext& ctx, const DeviceGeometry& part, QByteArrayView image,
                                const CrcVariant& variant, bool untouchedErased);

// Reads the global CRC and every sector's, and compares them with the golden ones, leaving out
// skipSector (the sector that holds a serial number differs from chip to chip; the global CRC is
// then left out too).
Verification verifyAgainstGolden(CommandContext& ctx, const DeviceGeometry& part, const GoldenCrcs& golden,
                                 std::optional<int> skipSector);

// Reads the CRCs of the sectors, in order; nothing when one was refused or not answered.
std::optional<std::map<int, quint32>> readSectorCrcValues(CommandContext& ctx, const DeviceGeometry& part,
                                                          const QList<int>& sectors);

// The mismatched sectors as text: "sectors 2, 5 (0800H, 1400H)" or "the global CRC".
QString mismatchText(const Verification& verification, const DeviceGeometry& part);

} // namespace zelvan
