#include "crc_model.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace zelvan {

namespace {

constexpr int kVariantCount = 32;

quint8 reversed8(quint8 value) {
    quint8 result = 0;
    for (int bit = 0; bit < 8; ++bit)
        result |= ((value >> bit) & 1u) << (7 - bit);
    return result;
}

quint32 reversed32(quint32 value) {
    quint32 result = 0;
    for (int bit = 0; bit < 32; ++bit)
        result |= ((value >> bit) & 1u) << (31 - bit);
    return result;
}

QString variantName(const CrcVariant& variant) {
    return QStringList{
        variant.shift == CrcVariant::Shift::Left ? QStringLiteral("left") : QStringLiteral("right"),
        variant.entry == CrcVariant::Entry::LowByte ? QStringLiteral("low") : QStringLiteral("high"),
        variant.reflectBytes ? QStringLiteral("reflected") : QStringLiteral("plain"),
        variant.walk == CrcVariant::Walk::Ascending ? QStringLiteral("up") : QStringLiteral("down"),
        variant.initial == 0 ? QStringLiteral("zero") : QStringLiteral("ones"),
    }
        .join(QLatin1Char('-'));
}

// Every combination, counting through the dimensions with the first value of each as 0, so that
// index 0 is the default formulation.
std::array<CrcVariant, kVariantCount> makeVariants() {
    std::array<CrcVariant, kVariantCount> variants;
    for (int index = 0; index < kVariantCount; ++index) {
        CrcVariant& variant = variants[index];
        variant.shift = (index & 1) ? CrcVariant::Shift::Right : CrcVariant::Shift::Left;
        variant.entry = (index & 2) ? CrcVariant::Entry::HighByte : CrcVariant::Entry::LowByte;
        variant.reflectBytes = (index & 4) != 0;
        variant.walk = (index & 8) ? CrcVariant::Walk::Descending : CrcVariant::Walk::Ascending;
        variant.initial = (index & 16) ? 0xFFFFFFFFu : 0u;
        variant.name = variantName(variant);
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
    const bool left = variant.shift == CrcVariant::Shift::Left;
    const quint32 polynomial = left ? variant.polynomial : reversed32(variant.polynomial);
    const int entryShift = variant.entry == CrcVariant::Entry::LowByte ? 0 : 24;
    const bool ascending = variant.walk == CrcVariant::Walk::Ascending;
    quint32 value = variant.initial;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        quint8 byte = static_cast<quint8>(bytes[ascending ? i : bytes.size() - 1 - i]);
        if (variant.reflectBytes)
            byte = reversed8(byte);
        const bool carry = left ? (value & 0x80000000u) != 0 : (value & 1u) != 0;
        value = left ? value << 1 : value >> 1;
        if (carry)
            value ^= polynomial;
        value ^= quint32(byte) << entryShift;
    }
    return value;
}

ExpectedCrcs expectedCrcs(QByteArrayView image, const DeviceGeometry& geometry, const CrcVariant& variant,
                          bool untouchedErased) {
    ExpectedCrcs expected;
    const QByteArray flash = flashImage(image, geometry);
    bool everySector = geometry.sectorCount() > 0;
    for (int index = 0; index < geometry.sectorCount(); ++index) {
        const int start = index * geometry.intSectorSize;
        const QByteArrayView bytes = QByteArrayView(flash).sliced(start, geometry.intSectorSize);
        const bool decided = !reachesBootloader(geometry, start) && (untouchedErased || holdsData(bytes));
        expected.sectors.push_back(decided ? std::optional<quint32>(signature(variant, bytes)) : std::nullopt);
        if (!decided && holdsData(bytes))
            expected.undecidable.push_back(index);
        everySector = everySector && decided;
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
