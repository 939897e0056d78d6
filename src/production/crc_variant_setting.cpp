#include "crc_variant_setting.h"

#include <QSettings>

namespace zelvan {

namespace {

const QString kKey = QStringLiteral("crc/variant");

QSettings settings() {
    return QSettings(QStringLiteral("Zelvan"), QStringLiteral("Zelvan Programmer"));
}

} // namespace

const CrcVariant& calibratedCrcVariant() {
    const CrcVariant* stored = findCrcVariant(settings().value(kKey).toString());
    return stored ? *stored : defaultCrcVariant();
}

bool crcVariantCalibrated() {
    return findCrcVariant(settings().value(kKey).toString()) != nullptr;
}

void storeCalibratedCrcVariant(const CrcVariant& variant) {
    QSettings store = settings();
    store.setValue(kKey, variant.name);
    store.sync();
}

} // namespace zelvan
