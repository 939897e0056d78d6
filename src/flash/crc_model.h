#pragma once

#include "device/device_catalogue.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <map>
#include <optional>
#include <span>
#include <vector>

namespace zelvan {

// One formulation of the 32-bit signature register (MISR) the target runs over its flash for a CRC
// record. The target reports the register's value but not how bytes enter it, so the model keeps
// every plausible formulation as a named variant and a production run learns which one a chip
// uses by calibration (below).
//
// Bytes are taken in the order of the address walk, in one of two ways:
// - byte-wise (entry LowByte or HighByte): the register shifts by one; when the bit that leaves it
//   was 1 the polynomial is XORed in; then the byte (bit-reversed first when reflected) is XORed
//   into the register's low or high 8 bits;
// - bit-serial (entry Serial), the usual CRC register: for each bit of the byte, most significant
//   first (least significant first when reflected), the register shifts by one and the polynomial
//   is XORed in when the bit that leaves it differs from the data bit.
// A right-shifting register uses the bit-reversed polynomial, which makes it the mirror image of
// the left-shifting one (byte-wise with the byte entering at the other end, reflected the other
// way; bit-serial with the bits in the same order).
//
// For a fixed length every formulation is linear in the data from a zero register and affine from
// any other initial value.
struct CrcVariant {
    enum class Shift { Left, Right };
    enum class Entry { LowByte, HighByte, Serial };
    enum class Walk { Ascending, Descending };

    Shift shift = Shift::Left;
    Entry entry = Entry::LowByte;
    bool reflectBytes = false;
    Walk walk = Walk::Ascending;
    quint32 initial = 0;
    // The polynomial as a left-shifting register uses it; every variant of the table has
    // kPolynomial. Another value makes a formulation outside the table (for tests).
    quint32 polynomial = kPolynomial;
    // Stable short name from the dimensions, e.g. "left-low-plain-up-zero" or
    // "right-serial-lsb-down-ones".
    QString name;

    static constexpr quint32 kPolynomial = 0x00400007u;

    bool operator==(const CrcVariant&) const = default;
};

// The 48 variants: the 32 byte-wise ones (every combination of shift, entry, reflection, walk and
// initial value 0 or 0xFFFFFFFF), then the 16 bit-serial ones (every combination of shift, bit
// order, walk and initial value). The first is the default: start at 0, ascending addresses,
// shift left, byte into the low 8 bits unreflected; it is the formulation the simulated board has
// always used.
std::span<const CrcVariant> crcVariants();
const CrcVariant& defaultCrcVariant();
// The variant of that name (exact), or nullptr.
const CrcVariant* findCrcVariant(QStringView name);

// The register's value after taking in bytes (bytes[0] at the lowest address).
quint32 signature(const CrcVariant& variant, QByteArrayView bytes);

// The signature of (B xor delta), given crcOfB, the signature of B (as long as delta): what a
// sector must report after a known change to bytes that are not all known, such as a sector the
// bootloader shares. Only the changed bytes are needed, since the register is affine in the data.
quint32 signatureAfterChange(const CrcVariant& variant, quint32 crcOfB, QByteArrayView delta);

// The CRCs a chip must report once a run has written image into it.
struct ExpectedCrcs {
    std::vector<std::optional<quint32>> sectors; // by sector index; nullopt where the image does not decide
    std::optional<quint32> global;               // only when every sector is decided
    // Sectors the image writes into but cannot decide: they also hold the bootloader, whose bytes
    // are the board's. No CRC can tell whether the image's bytes there were written.
    std::vector<int> undecidable;

    // The decided sectors with their CRCs.
    std::map<int, quint32> decided() const {
        std::map<int, quint32> crcs;
        for (size_t sector = 0; sector < sectors.size(); ++sector) {
            if (sectors[sector])
                crcs[static_cast<int>(sector)] = *sectors[sector];
        }
        return crcs;
    }
};

// image holds one byte per flash address (missing tail addresses count as 0x00, the erased
// state). A sector is decided by the image when the image writes into it (writtenSectors[sector];
// without that list, when it holds a non-zero byte): a run erases and programs it; or, when
// untouchedErased (the run erased the whole chip), also when it holds nothing. A sector that
// reaches into the bootloader area holds the board's own bytes too, unless the run erased it
// whole (untouchedErased, or bootloaderErased: it erased the sectors it wrote without protection):
// it is then decided only from a baseline, the CRC read from it after its user pages were erased
// and before they were programmed (baselines: sector -> CRC), as that CRC combined with the
// image's bytes below the bootloader; without one it is undecidable.
ExpectedCrcs expectedCrcs(QByteArrayView image, const DeviceGeometry& geometry, const CrcVariant& variant,
                          bool untouchedErased, const std::vector<bool>& writtenSectors = {},
                          const std::map<int, quint32>& baselines = {}, bool bootloaderErased = false);

// The variants under which every sector the image writes into reports the CRC read from a chip
// after programming it (readSectorCrcs: sector index -> value; sectors the image does not write
// into, or that were not read, are not compared). nullopt when no compared sector holds a
// non-zero byte: then nearly every variant agrees and nothing can be learnt. A caller keeps the
// result only when it is exactly one variant.
std::optional<std::vector<const CrcVariant*>> calibrateCrcVariant(QByteArrayView image, const DeviceGeometry& geometry,
                                                                  const std::map<int, quint32>& readSectorCrcs);

} // namespace zelvan
