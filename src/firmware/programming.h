#pragma once

#include "firmware_cache.h"

#include "device/device_catalogue.h"
#include "link/command_context.h"

#include <QString>

#include <functional>

namespace zelvan {

// Whether the page at pageAddress holds any byte text other than "00". A page of nothing but
// "00" is not sent: the erased flash holds it already.
bool pageHasData(const FirmwareCache& cache, int pageAddress, int pageSize);

// The program record body of the page: count, address, type 00, the byte texts as stored.
QString pageRecordBody(const FirmwareCache& cache, int pageAddress, int pageSize);

// Pages of the cache that hold something, the ones programming sends.
int pagesToSend(const FirmwareCache& cache, int pageSize);

// Writes the cache into the flash, page by page (text records without a line end, or the quick
// form), then each captured UCFG1, UCFG2, boot vector and status byte to its own configuration
// address. The first refused or unanswered record ends the work with "Programming error".
// Unless the automation runs, beeps and shows the result. progress(done, total) follows the pages
// sent. Returns true when everything was written; fgResponseErr is left set on failure.
bool programFirmware(CommandContext& ctx, const FirmwareCache& cache, const DeviceGeometry& geometry, bool quickMode,
                     const std::function<void(int done, int total)>& progress);

} // namespace zelvan
