#pragma once

#include "flash/crc_model.h"

#include <QString>

namespace zelvan {

// The signature formulation a calibration found, kept in the user's settings so that every later
// verify (window or command line) uses it.

// The calibrated variant; the default one until a calibration stored another.
const CrcVariant& calibratedCrcVariant();
// Whether a calibration stored a variant (otherwise the default one stands in, unproven).
bool crcVariantCalibrated();
// Keeps the variant as the calibrated one.
void storeCalibratedCrcVariant(const CrcVariant& variant);

} // namespace zelvan
