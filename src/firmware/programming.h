#pragma once

#include "firmware_cache.h"

#include "device/device_catalogue.h"
#include "programmer/command_context.h"
#include "programmer/outcome_report.h"

#include <QString>

namespace zelvan {

// Whether the page at pageAddress holds any byte text other than "00". A page of nothing but
// "00" is not sent: the erased flash holds it already.
bool pageHasData(const FirmwareCache& cache, int pageAddress, int pageSize);

// The program record body of the page: count, address, type 00, the byte texts as stored.
QString pageRecordBody(const FirmwareCache& cache, int pageAddress, int pageSize);

// The first addresses of the pages of the cache that hold something.
QList<int> pagesWithData(const FirmwareCache& cache, int pageSize);

struct ProgramResult {
    Ending ending = Ending::Error;
    int pagesWritten = 0; // pages the board acknowledged
    int pagesToWrite = 0; // pages of the image that were to be written
    int pagesSkipped = 0; // pages of the image in the protected bootloader area, not written
    bool done() const { return ending == Ending::Done; }
};

// Writes the cache into the flash, page by page (text records without a line end, or the quick
// form), then each captured UCFG1, UCFG2, boot vector and status byte to its own configuration
// address. While protect is set, pages from the bootloader address up are not written: a notice
// says how many pages of the image that keeps back before anything is sent. The first refused or
// unanswered record ends the work with "Programming error"; the user may stop between pages.
// Shows the result (a quiet front end leaves it out) and closes the status line.
ProgramResult programFirmware(CommandContext& ctx, const FirmwareCache& cache, const DeviceGeometry& geometry,
                              bool quickMode, bool protect);

} // namespace zelvan
