#include "crc_model.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace zelvan {

namespace {

constexpr int kByteWiseCount = 32;
constexpr int kSerialCount = 16;
constexpr int kVariantCount = kByteWiseCount + kSerialCount;

using ByteTable = std::array<quint8, 256>;
using ShiftTable = std::array<quint32, 256>;

// The byte values as they are, and bit-reversed: a variant picks one per call, which keeps the
// reflection out of the per-byte work.
const ByteTable& identityBytes() {
    static const ByteTable table = [] {
        ByteTable same{};
        for (int value = 0; value < 256; ++value)
            same[value] = static_cast<quint8>(value);
        return same;
    }();
    return table;
}

const ByteTable& reversedBytes() {
    static const ByteTable table = [] {
        ByteTable reversed{};
        for (int value = 0; value < 256; ++value) {
            for (int bit = 0; bit < 8; ++bit)
                reversed[value] |= ((value >> bit) & 1) << (7 - bit);
        }
        return reversed;
    }();
    return table;
}

quint32 reversed32(quint32 value) {
    quint32 result = 0;
    for (int bit = 0; bit < 32; ++bit)
        result |= ((value >> bit) & 1u) << (31 - bit);
    return result;
}

// One shift of the register, the polynomial XORed in when the bit that leaves it is 1 (a mask
// rather than a branch: this runs once per byte of the flash for every variant).
quint32 shiftedLeft(quint32 value, quint32 polynomial) {
    return (value << 1) ^ (polynomial & (0u - (value >> 31)));
}

quint32 shiftedRight(quint32 value, quint32 polynomial) {
    return (value >> 1) ^ (polynomial & (0u - (value & 1u)));
}

// A bit-serial register takes a byte in eight shifts. The eight feedback bits (the register's
// leaving byte XOR the data byte, in the order they leave) decide alone what the polynomial adds
// over those shifts, so one lookup per byte replaces the eight steps. polynomial is the one the
// register of that direction uses (bit-reversed for a right-shifting one).
ShiftTable makeShiftTable(CrcVariant::Shift shift, quint32 polynomial) {
    ShiftTable table{};
    const bool left = shift == CrcVariant::Shift::Left;
    for (quint32 feedback = 0; feedback < 256; ++feedback) {
        quint32 value = left ? feedback << 24 : feedback;
        for (int bit = 0; bit < 8; ++bit)
            value = left ? shiftedLeft(value, polynomial) : shiftedRight(value, polynomial);
        table[feedback] = value;
    }
    return table;
}

// The register's table for a polynomial as a left-shifting register uses it. Those of the table's
// polynomial are made once; another polynomial (a formulation outside the table) gets its own.
ShiftTable shiftTable(CrcVariant::Shift shift, quint32 polynomial) {
    const bool left = shift == CrcVariant::Shift::Left;
    if (polynomial != CrcVariant::kPolynomial)
        return makeShiftTable(shift, left ? polynomial : reversed32(polynomial));
    static const ShiftTable leftTable = makeShiftTable(CrcVariant::Shift::Left, CrcVariant::kPolynomial);
    static const ShiftTable rightTable = makeShiftTable(CrcVariant::Shift::Right, reversed32(CrcVariant::kPolynomial));
    return left ? leftTable : rightTable;
}

// Runs step(value, byte) over the bytes in the order of the address walk.
template <typename Step> quint32 walkBytes(QByteArrayView bytes, CrcVariant::Walk walk, quint32 value, Step step) {
    const auto* data = reinterpret_cast<const quint8*>(bytes.data());
    if (walk == CrcVariant::Walk::Ascending) {
        for (qsizetype i = 0; i < bytes.size(); ++i)
            value = step(value, data[i]);
    } else {
        for (qsizetype i = bytes.size(); i-- > 0;)
            value = step(value, data[i]);
    }
    return value;
}

quint32 byteWiseSignature(const CrcVariant& variant, quint32 initial, QByteArrayView bytes) {
    const quint8* entered = (variant.reflectBytes ? reversedBytes() : identityBytes()).data();
    const int entryShift = variant.entry == CrcVariant::Entry::LowByte ? 0 : 24;
    if (variant.shift == CrcVariant::Shift::Left) {
        return walkBytes(bytes, variant.walk, initial, [&](quint32 value, quint8 byte) {
            return shiftedLeft(value, variant.polynomial) ^ (quint32(entered[byte]) << entryShift);
        });
    }
    const quint32 polynomial = reversed32(variant.polynomial);
    return walkBytes(bytes, variant.walk, initial, [&](quint32 value, quint8 byte) {
        return shiftedRight(value, polynomial) ^ (quint32(entered[byte]) << entryShift);
    });
}

// A left-shifting register meets a byte's most significant bit first, a right-shifting one its
// least significant bit: the byte is bit-reversed when the variant wants the other order.
quint32 serialSignature(const CrcVariant& variant, quint32 initial, QByteArrayView bytes) {
    const bool left = variant.shift == CrcVariant::Shift::Left;
    const ShiftTable table = shiftTable(variant.shift, variant.polynomial);
    const quint8* entered = (variant.reflectBytes == left ? reversedBytes() : identityBytes()).data();
    if (left) {
        return walkBytes(bytes, variant.walk, initial, [&](quint32 value, quint8 byte) {
            return (value << 8) ^ table[(value >> 24) ^ entered[byte]];
        });
    }
    return walkBytes(bytes, variant.walk, initial,
                     [&](quint32 value, quint8 byte) { return (value >> 8) ^ table[(value ^ entered[byte]) & 0xFFu]; });
}

quint32 signatureFrom(const CrcVariant& variant, quint32 initial, QByteArrayView bytes) {
    return variant.entry == CrcVariant::Entry::Serial ? serialSignature(variant, initial, bytes)
                                                      : byteWiseSignature(variant, initial, bytes);
}

QString variantName(const CrcVariant& variant) {
    QString entry = QStringLiteral("serial");
    QString order = variant.reflectBytes ? QStringLiteral("lsb") : QStringLiteral("msb");
    if (variant.entry != CrcVariant::Entry::Serial) {
        entry = variant.entry == CrcVariant::Entry::LowByte ? QStringLiteral("low") : QStringLiteral("high");
        order = variant.reflectBytes ? QStringLiteral("reflected") : QStringLiteral("plain");
    }
    return QStringList{
        variant.shift == CrcVariant::Shift::Left ? QStringLiteral("left") : QStringLiteral("right"),
        entry,
        order,
        variant.walk == CrcVariant::Walk::Ascending ? QStringLiteral("up") : QStringLiteral("down"),
        variant.initial == 0 ? QStringLiteral("zero") : QStringLiteral("ones"),
    }
        .join(QLatin1Char('-'));
}

// A variant from a count through the dimensions, with the first value of each as 0.
CrcVariant makeVariant(int bits, bool serial) {
    CrcVariant variant;
    variant.shift = (bits & 1) ? CrcVariant::Shift::Right : CrcVariant::Shift::Left;
    if (serial)
        variant.entry = CrcVariant::Entry::Serial;
    else
        variant.entry = (bits & 2) ? CrcVariant::Entry::HighByte : CrcVariant::Entry::LowByte;
    variant.reflectBytes = (bits & 4) != 0;
    variant.walk = (bits & 8) ? CrcVariant::Walk::Descending : CrcVariant::Walk::Ascending;
    variant.initial = (bits & 16) ? 0xFFFFFFFFu : 0u;
    variant.name = variantName(variant);
    return variant;
}

// Every combination, so that index 0 is the default formulation: the byte-wise variants in their
// order, then the bit-serial ones, which have no entry dimension.
std::array<CrcVariant, kVariantCount> makeVariants() {
    std::array<CrcVariant, kVariantCount> variants;
    int next = 0;
    for (int bits = 0; bits < kByteWiseCount; ++bits)
        variants[next++] = makeVariant(bits, false);
    for (int bits = 0; bits < kByteWiseCount; ++bits) {
        if (!(bits & 2))
            variants[next++] = makeVariant(bits, true);
    }
    return variants;
}

// A sector whose last byte lies at or above the bootloader address holds the board's bootloader
// (when the bootloader lies inside the flash at all).
bool reachesBootloader(const DeviceGeometry& geometry, int sectorStart) {
    return geometry.intBootloaderAddr < geometry.flashSize() &&
           sectorStart + geometry.intSectorSize > geometry.intBootloaderAddr;
}

bool holdsData(QByteArrayView bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](char byte) { return byte != '\0'; });
}

// The image as the flash holds it after the run: exactly flashSize bytes, erased (0x00) past its end.
QByteArray flashImage(QByteArrayView image, const DeviceGeometry& geometry) {
    QByteArray flash = image.first(std::min<qsizetype>(image.size(), geometry.flashSize())).toByteArray();
    flash.append(geometry.flashSize() - flash.size(), '\0');
    return flash;
}

} // namespace

std::span<const CrcVariant> crcVariants() {
    static const std::array<CrcVariant, kVariantCount> variants = makeVariants();
    return variants;
}

const CrcVariant& defaultCrcVariant() {
    return crcVariants().front();
}

const CrcVariant* findCrcVariant(QStringView name) {
    const std::span<const CrcVariant> variants = crcVariants();
    const auto it =
        std::find_if(variants.begin(), variants.end(), [&](const CrcVariant& variant) { return variant.name == name; });
    return it == variants.end() ? nullptr : &*it;
}

quint32 signature(const CrcVariant& variant, QByteArrayView bytes) {
    return signatureFrom(variant, variant.initial, bytes);
}

// From initial value I over n bytes the register holds S_I(data) = S_0(data) ^ S_I(n zero bytes),
// with S_0 linear in the data. So S_I(B ^ delta) = S_I(B) ^ S_0(delta): the initial value's part
// cancels out, and the bytes B shares with B ^ delta need not be known.
quint32 signatureAfterChange(const CrcVariant& variant, quint32 crcOfB, QByteArrayView delta) {
    return crcOfB ^ signatureFrom(variant, 0, delta);
}

ExpectedCrcs expectedCrcs(QByteArrayView image, const DeviceGeometry& geometry, const CrcVariant& variant,
                          bool untouchedErased, const std::vector<bool>& writtenSectors,
                          const std::map<int, quint32>& baselines, bool bootloaderErased) {
    ExpectedCrcs expected;
    const QByteArray flash = flashImage(image, geometry);
    bool everySector = geometry.sectorCount() > 0;
    for (int index = 0; index < geometry.sectorCount(); ++index) {
        const int start = index * geometry.intSectorSize;
        const QByteArrayView bytes = QByteArrayView(flash).sliced(start, geometry.intSectorSize);
        const bool written = writtenSectors.empty() ? holdsData(bytes) : writtenSectors[static_cast<size_t>(index)];
        std::optional<quint32> crc;
        const bool wholeKnown = !reachesBootloader(geometry, start) || untouchedErased || (bootloaderErased && written);
        if (wholeKnown && (untouchedErased || written)) {
            crc = signature(variant, bytes);
        } else if (const auto baseline = baselines.find(index); baseline != baselines.end()) {
            // The programming changed the user part of the sector, from erased to the image's bytes;
            // the bootloader's part stayed as it was.
            QByteArray change = bytes.toByteArray();
            const int bootloaderOffset = std::clamp(geometry.intBootloaderAddr - start, 0, int(change.size()));
            change.replace(bootloaderOffset, change.size() - bootloaderOffset,
                           QByteArray(change.size() - bootloaderOffset, '\0'));
            crc = signatureAfterChange(variant, baseline->second, change);
        } else if (written) {
            expected.undecidable.push_back(index);
        }
        expected.sectors.push_back(crc);
        // The global CRC covers the bootloader's bytes too, which only a baseline's sector knows.
        everySector = everySector && crc.has_value() && !baselines.contains(index);
    }
    if (everySector)
        expected.global = signature(variant, flash);
    return expected;
}

std::optional<std::vector<const CrcVariant*>> calibrateCrcVariant(QByteArrayView image, const DeviceGeometry& geometry,
                                                                  const std::map<int, quint32>& readSectorCrcs) {
    const QByteArray flash = flashImage(image, geometry);
    std::vector<QByteArrayView> compared; // the written sectors that were read, with their CRCs below
    std::vector<quint32> crcs;
    for (const auto& [index, crc] : readSectorCrcs) {
        if (index < 0 || index >= geometry.sectorCount())
            continue;
        const int start = index * geometry.intSectorSize;
        const QByteArrayView bytes = QByteArrayView(flash).sliced(start, geometry.intSectorSize);
        if (reachesBootloader(geometry, start) || !holdsData(bytes))
            continue;
        compared.push_back(bytes);
        crcs.push_back(crc);
    }
    if (compared.empty())
        return std::nullopt;

    std::vector<const CrcVariant*> matches;
    for (const CrcVariant& variant : crcVariants()) {
        bool all = true;
        for (size_t i = 0; all && i < compared.size(); ++i)
            all = signature(variant, compared[i]) == crcs[i];
        if (all)
            matches.push_back(&variant);
    }
    return matches;
}

} // namespace zelvan
