#pragma once

#include "golden_crcs.h"

#include "common/ending.h"
#include "device/device_catalogue.h"
#include "firmware/firmware_cache.h"
#include "flash/crc_model.h"
#include "link/link_context.h"

#include <QByteArrayView>
#include <QList>

#include <map>
#include <optional>

namespace zelvan {

// A CRC the chip reported and the one it should report, each when known.
struct RecordedCrc {
    std::optional<quint32> read;
    std::optional<quint32> expected;

    bool operator==(const RecordedCrc&) const = default;
};

// What the chip reported against what it should report. Done when every CRC asked for was read
// and matched and nothing of the image was left unchecked; Mismatch when a CRC differs; NotDone
// when something could not be checked; the outcome of the read that failed otherwise.
struct Verification : Result {
    bool read = false;          // every CRC asked for was answered
    QList<int> mismatched;      // sectors whose CRC differs (-1 stands for the global CRC)
    QList<int> undecidable;     // sectors the image writes into whose CRC no model can give
    QList<int> serialUnchecked; // sectors of a serial number that nothing known can check
    std::map<int, RecordedCrc> sectors;
    RecordedCrc global;
    int compared = 0; // CRCs compared (sectors, and the global one for golden)

    bool passed() const {
        return read && mismatched.isEmpty() && undecidable.isEmpty() && serialUnchecked.isEmpty() && compared > 0;
    }
};

// Reads the CRC of every sector the image writes into and compares it with what the model gives
// for the image (see expectedCrcs; baselines: the CRCs of the sectors the bootloader shares, read
// after their user pages were erased and before they were programmed). When the formulation was
// neither calibrated nor chosen (variantKnown false), a mismatch says that the default formulation
// may not be this chip's. The user may stop it between sectors.
// bootloaderErased: the run erased the sectors it wrote without protection, the bootloader's too.
Verification verifyAgainstImage(LinkContext& ctx, const DeviceGeometry& part, const FirmwareCache& image,
                                const CrcVariant& variant, bool variantKnown, bool untouchedErased,
                                const std::map<int, quint32>& baselines = {}, bool bootloaderErased = false);

// The sectors the image writes into that the bootloader shares: their CRCs can only be checked
// from a baseline.
QList<int> sharedSectors(const FirmwareCache& image, const DeviceGeometry& part);

// Which sectors the image writes into, one flag a sector of the part.
std::vector<bool> writtenSectors(const FirmwareCache& image, const DeviceGeometry& part);

// The sectors a serial number occupies, and the CRC each must have when a formulation is known
// (computed from the image with this chip's number laid in).
struct SerialSectors {
    QList<int> sectors;
    std::map<int, quint32> expected;
};

// Reads the global CRC and every sector's, and compares them with the golden ones. The sectors of
// a serial number differ from the golden chip's: they are compared with their expected CRCs, or,
// where none is known, left unchecked and the verification cannot pass; the global CRC is then
// left out.
Verification verifyAgainstGolden(LinkContext& ctx, const DeviceGeometry& part, const GoldenCrcs& golden,
                                 const SerialSectors& serial = {});

// Every sector's CRC and the global one of the chip, as golden CRCs of the named part.
struct GoldenReading : Result {
    std::optional<GoldenCrcs> golden;
};
GoldenReading readGoldenCrcs(LinkContext& ctx, const DeviceGeometry& part, const QString& partName);

// Which formulations of the signature the chip's CRCs follow, for an image it was just programmed
// with. Done with exactly one (kept by the caller); NotDone when none or several fit, or the image
// decides nothing.
struct Calibration : Result {
    std::vector<const CrcVariant*> matches;
};
Calibration calibrate(LinkContext& ctx, const DeviceGeometry& part, QByteArrayView image);

// Sectors as text: "sector 2 (0800H)", "sectors 2, 5 (0800H, 1400H)"; -1 stands for "the global
// CRC".
QString sectorsText(const QList<int>& sectors, const DeviceGeometry& part);

// What a verify that did not pass has to say: which sectors differ, or which could not be checked
// ("verify failed: sector 1 (0400H) differs", "the image writes into sector 7 (1C00H), which also
// holds the bootloader: ...").
QString verifyProblem(const Verification& verification, const DeviceGeometry& part);

} // namespace zelvan
