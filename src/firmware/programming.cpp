#include "programming.h"

#include "common/hex_text.h"
#include "link/isp_commands.h"

#include <algorithm>

namespace zelvan {

namespace {

// Captured configuration values written after the pages, each to its own configuration address.
// The further values 4..11 a HEX file may carry are never written: their addresses are not
// known, and writing them elsewhere would overwrite UCFG1..status byte or security bytes.
constexpr int kWrittenConfigValues = 4;

} // namespace

QString skippedPagesNotice(int pages, int bootloaderAddr) {
    return QStringLiteral("%1 page(s) of the firmware lie in the bootloader area (%2H and up) and will not be "
                          "written, to protect the bootloader.")
        .arg(pages)
        .arg(strDecToHex16(bootloaderAddr));
}

QString pageRecordBody(const FirmwareCache& cache, int pageAddress, int pageSize) {
    const QByteArrayView data = QByteArrayView(cache.imageText()).sliced(2 * pageAddress, 2 * pageSize);
    return programBody(pageAddress, QString::fromLatin1(data));
}

QList<int> pagesToProgram(const FirmwareCache& cache, int pageSize) {
    QList<int> pages;
    for (int address = 0; pageSize > 0 && address + pageSize <= cache.size(); address += pageSize) {
        if (cache.writesInto(address, pageSize))
            pages.append(address);
    }
    return pages;
}

ProgramResult programFirmware(LinkContext& ctx, const FirmwareCache& cache, const DeviceGeometry& geometry,
                              bool quickMode, bool protect) {
    ProgramResult result;
    const int pageSize = geometry.intPageSize;
    // The cache takes the size of the identified part; one of another size cannot be written.
    if (cache.size() != geometry.flashSize() || pageSize <= 0)
        return static_cast<ProgramResult&>(
            result.end(Ending::NotDone, QStringLiteral("the firmware is not laid out for this part")));
    QList<int> pages = pagesToProgram(cache, pageSize);
    const auto keptBack = [&](int address) { return protect && address >= geometry.intBootloaderAddr; };
    result.pagesSkipped = static_cast<int>(std::count_if(pages.begin(), pages.end(), keptBack));
    pages.removeIf(keptBack);
    result.pagesToWrite = static_cast<int>(pages.size());
    if (result.pagesSkipped > 0)
        ctx.progress.notice(skippedPagesNotice(result.pagesSkipped, geometry.intBootloaderAddr));

    ctx.progress.step(QStringLiteral("Programming Firmware..."));
    if (pages.isEmpty() && result.pagesSkipped > 0) {
        // Every page of the image lies where protection keeps it: writing only the configuration
        // bytes would pass for a programming that was done.
        result.end(Ending::NotDone, QStringLiteral("none of the %1 page(s) of the firmware was written: all lie in "
                                                   "the protected bootloader area (%2H and up)")
                                        .arg(result.pagesSkipped)
                                        .arg(strDecToHex16(geometry.intBootloaderAddr)));
        return result;
    }
    result.end(Ending::Done);
    ctx.progress.stage(QStringLiteral("programming"), QStringLiteral("pages"));
    ctx.progress.units(0, result.pagesToWrite);
    // The indicator alternates once a page of the flash, written or not, as the work walks it.
    Led indicator = Led::DarkYellow;
    for (int address = 0; result.done() && address + pageSize <= cache.size(); address += pageSize) {
        if (cache.writesInto(address, pageSize) && !keptBack(address)) {
            if (ctx.stop.requested()) {
                result.end(Ending::Interrupted, QStringLiteral("programming stopped after %1 of %2 pages")
                                                    .arg(result.pagesWritten)
                                                    .arg(result.pagesToWrite));
                break;
            }
            const QString body = pageRecordBody(cache, address, pageSize);
            const IspAnswer answer =
                quickMode ? ctx.link.exchangeQuickRecord(body) : ctx.link.exchangeProgramRecord(body);
            if (!answer.acknowledged()) {
                result.end(endingOf(answer.outcome), QStringLiteral("programming stopped: %1 of %2 pages written "
                                                                    "(page %3H: %4)")
                                                         .arg(result.pagesWritten)
                                                         .arg(result.pagesToWrite)
                                                         .arg(strDecToHex16(address), failureText(answer.outcome)));
                break;
            }
            ctx.progress.units(++result.pagesWritten, result.pagesToWrite);
        }
        indicator = indicator == Led::DarkYellow ? Led::Yellow : Led::DarkYellow;
        ctx.progress.indicate(indicator);
        ctx.link.processEventsOnce();
    }

    // A configuration value the board did not acknowledge, refused or unanswered, was not
    // written: the result must not say "Done" for it.
    for (int index = 0; result.done() && index < kWrittenConfigValues; ++index) {
        if (!cache.hasConfig(index))
            continue;
        const IspAnswer answer =
            ctx.link.exchangeRecord(configWriteBody(index, QString::fromLatin1(cache.configText(index))));
        if (!answer.acknowledged()) {
            result.end(endingOf(answer.outcome),
                       QStringLiteral("all %1 pages were written, but configuration byte %2 the files carry was not "
                                      "(%3)")
                           .arg(result.pagesWritten)
                           .arg(strDecToHex8(index), failureText(answer.outcome)));
        }
    }
    ctx.progress.units(0, 0);
    return result;
}

} // namespace zelvan
