#pragma once

#include "firmware_cache.h"

#include "common/ending.h"
#include "device/device_catalogue.h"
#include "link/link_context.h"

#include <QList>
#include <QString>

namespace zelvan {

// The program record body of the page: count, address, type 00, the byte texts as stored.
QString pageRecordBody(const FirmwareCache& cache, int pageAddress, int pageSize);

// The first addresses of the pages the image writes into (a page of bytes written as 00 is one of
// them: the flash must hold the 00s the file asked for).
QList<int> pagesToProgram(const FirmwareCache& cache, int pageSize);

struct ProgramResult : Result {
    int pagesWritten = 0; // pages the board acknowledged
    int pagesToWrite = 0; // pages of the image that were to be written
    int pagesSkipped = 0; // pages of the image in the protected bootloader area, not written
};

// The notice that protection keeps pages of the image back: "n page(s) of the firmware lie in the
// bootloader area (1E00H and up) and will not be written, to protect the bootloader."
QString skippedPagesNotice(int pages, int bootloaderAddr);

// Writes the cache into the flash, page by page (text records without a line end, or the quick
// form), then each captured UCFG1, UCFG2, boot vector and status byte to its own configuration
// address. While protect is set, pages from the bootloader address up are not written: a notice
// says how many before anything is sent, and when that leaves none of the image's pages, nothing
// is sent and the programming is not done. The first refused or unanswered record ends the work;
// the user may stop between pages.
ProgramResult programFirmware(LinkContext& ctx, const FirmwareCache& cache, const DeviceGeometry& geometry,
                              bool quickMode, bool protect);

} // namespace zelvan
