#include "programming.h"

#include "common/busy_pointer.h"
#include "common/hex_text.h"
#include "link/isp_commands.h"

#include <algorithm>

namespace zelvan {

namespace {

// Captured configuration values written after the pages, each to its own configuration address.
// The further values 4..11 a HEX file may carry are never written: their addresses are not
// known, and writing them elsewhere would overwrite UCFG1..status byte or security bytes.
constexpr int kWrittenConfigValues = 4;

QString skippedPagesNotice(int pages, int bootloaderAddr) {
    return QStringLiteral("%1 page(s) of the firmware lie in the bootloader area (%2H and up) and will not be "
                          "written, to protect the bootloader.")
        .arg(pages)
        .arg(strDecToHex16(bootloaderAddr));
}

} // namespace

bool pageHasData(const FirmwareCache& cache, int pageAddress, int pageSize) {
    const QByteArrayView data = QByteArrayView(cache.imageText()).sliced(2 * pageAddress, 2 * pageSize);
    return std::any_of(data.begin(), data.end(), [](char c) { return c != '0'; });
}

QString pageRecordBody(const FirmwareCache& cache, int pageAddress, int pageSize) {
    const QByteArrayView data = QByteArrayView(cache.imageText()).sliced(2 * pageAddress, 2 * pageSize);
    return programBody(pageAddress, QString::fromLatin1(data));
}

QList<int> pagesWithData(const FirmwareCache& cache, int pageSize) {
    QList<int> pages;
    for (int address = 0; pageSize > 0 && address + pageSize <= cache.size(); address += pageSize) {
        if (pageHasData(cache, address, pageSize))
            pages.append(address);
    }
    return pages;
}

ProgramResult programFirmware(CommandContext& ctx, const FirmwareCache& cache, const DeviceGeometry& geometry,
                              bool quickMode, bool protect) {
    const QString phrase = QStringLiteral("Programming Firmware");
    ProgramResult result;
    const int pageSize = geometry.intPageSize;
    // The cache takes the size of the identified part; one of another size cannot be written.
    bool failed = cache.size() != geometry.flashSize() || pageSize <= 0;
    const QList<int> pages = failed ? QList<int>() : pagesWithData(cache, pageSize);
    const auto keptBack = [&](int address) { return protect && address >= geometry.intBootloaderAddr; };
    result.pagesSkipped = static_cast<int>(std::count_if(pages.begin(), pages.end(), keptBack));
    result.pagesToWrite = static_cast<int>(pages.size()) - result.pagesSkipped;
    if (result.pagesSkipped > 0)
        ctx.dialogs.notice(skippedPagesNotice(result.pagesSkipped, geometry.intBootloaderAddr),
                           QStringLiteral("Peripheral Programming"));

    BusyPointer busy(ctx.dialogs);
    ctx.feedback.setStatus(phrase + QStringLiteral("..."));
    bool interrupted = false;
    ctx.feedback.setProgress(0, result.pagesToWrite);
    for (int address = 0; !failed && address + pageSize <= cache.size(); address += pageSize) {
        if (pageHasData(cache, address, pageSize) && !keptBack(address)) {
            if (ctx.stop.requested()) {
                interrupted = true;
                break;
            }
            const QString body = pageRecordBody(cache, address, pageSize);
            const IspAnswer answer =
                quickMode ? ctx.link.exchangeQuickRecord(body) : ctx.link.exchangeProgramRecord(body);
            if (!answer.acknowledged()) {
                failed = true;
                break;
            }
            ctx.feedback.setProgress(++result.pagesWritten, result.pagesToWrite);
        }
        ctx.feedback.setIndicator(ctx.feedback.indicator() == Led::DarkYellow ? Led::Yellow : Led::DarkYellow);
        ctx.link.processEventsOnce();
    }

    // A configuration value the board did not acknowledge, refused or unanswered, was not
    // written: the result must not say "Done" for it.
    for (int index = 0; !failed && !interrupted && index < kWrittenConfigValues; ++index) {
        if (cache.hasConfig(index))
            failed = !ctx.link.exchangeRecord(configWriteBody(index, QString::fromLatin1(cache.configText(index))))
                          .acknowledged();
    }
    ctx.feedback.setProgress(0, 0);

    result.ending = failed ? Ending::Error : interrupted ? Ending::Interrupted : Ending::Done;
    ctx.dialogs.showResult(result.done() ? QStringLiteral("Programming: Done")
                           : interrupted ? QStringLiteral("Programming interrupted")
                                         : QStringLiteral("Programming error"),
                           QStringLiteral("Peripheral Programming"));
    busy.release();
    ctx.feedback.setStatus(closingStatus(phrase, result.ending));
    return result;
}

} // namespace zelvan
