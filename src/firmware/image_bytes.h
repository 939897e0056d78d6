#pragma once

#include "firmware_cache.h"

#include <QByteArray>

namespace zelvan {

// The image as the flash will hold it: one byte per flash address (0x00 where nothing was
// loaded), for the pure functions that work on bytes (the CRC model).
inline QByteArray imageBytes(const FirmwareCache& cache) {
    return QByteArray::fromHex(cache.imageText());
}

} // namespace zelvan
