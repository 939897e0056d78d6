#include "programming.h"

#include "link/records.h"

#include <algorithm>

namespace zelvan {

namespace {

// Captured configuration values written after the pages, each to its own configuration address.
// The further values 4..11 a HEX file may carry are never written: their addresses are not
// known, and writing them elsewhere would overwrite UCFG1..status byte or security bytes.
constexpr int kWrittenConfigValues = 4;

bool answered(const ResponseState& state) {
    return state.fgResponseOK && !state.fgResponseErr;
}

} // namespace

bool pageHasData(const FirmwareCache& cache, int pageAddress, int pageSize) {
    const QByteArrayView data = QByteArrayView(cache.imageText()).sliced(2 * pageAddress, 2 * pageSize);
    return std::any_of(data.begin(), data.end(), [](char c) { return c != '0'; });
}

QString pageRecordBody(const FirmwareCache& cache, int pageAddress, int pageSize) {
    const QByteArrayView data = QByteArrayView(cache.imageText()).sliced(2 * pageAddress, 2 * pageSize);
    return strDecToHex8(pageSize) + strDecToHex16(pageAddress) + QStringLiteral("00") + QString::fromLatin1(data);
}

int pagesToSend(const FirmwareCache& cache, int pageSize) {
    int pages = 0;
    for (int address = 0; address + pageSize <= cache.size(); address += pageSize)
        pages += pageHasData(cache, address, pageSize) ? 1 : 0;
    return pages;
}

bool programFirmware(CommandContext& ctx, const FirmwareCache& cache, const DeviceGeometry& geometry, bool quickMode,
                     const std::function<void(int done, int total)>& progress) {
    ResponseState& state = ctx.link.response();
    ctx.dialogs.setBusyPointer(true);
    ctx.feedback.setStatus(QStringLiteral("Programming Firmware..."));

    // The cache takes the size of the identified part; one of another size (no part identified
    // yet) cannot be written page by page.
    bool failed = cache.size() != geometry.flashSize() || geometry.intPageSize <= 0;
    const int pageSize = failed ? 0 : geometry.intPageSize;
    const int total = failed ? 0 : pagesToSend(cache, pageSize);
    int sent = 0;
    progress(0, total);
    for (int address = 0; !failed && address + pageSize <= cache.size(); address += pageSize) {
        if (pageHasData(cache, address, pageSize)) {
            const QString body = pageRecordBody(cache, address, pageSize);
            ctx.link.send(quickMode ? quickRecord(body) : unterminatedRecord(body));
            ctx.link.WaitResponse();
            if (!answered(state)) {
                failed = true;
                break;
            }
            progress(++sent, total);
        }
        ctx.feedback.setIndicator(ctx.feedback.indicator() == Led::DarkYellow ? Led::Yellow : Led::DarkYellow);
        ctx.link.processEventsOnce();
    }

    // A configuration value the board did not acknowledge, refused or unanswered, was not
    // written: the result must not say "Done" for it.
    for (int index = 0; !failed && index < kWrittenConfigValues; ++index) {
        if (!cache.hasConfig(index))
            continue;
        ctx.link.sendRecord(configWriteBody(index, QString::fromLatin1(cache.configText(index))));
        ctx.link.WaitResponse();
        failed = !answered(state);
    }

    state.fgResponseErr = failed;
    if (!ctx.fgAutoRunning) {
        ctx.dialogs.beep();
        ctx.dialogs.messageBox(failed ? QStringLiteral("Programming error") : QStringLiteral("Programming: Done"),
                               QStringLiteral("Peripheral Programming"));
    }
    ctx.dialogs.setBusyPointer(false);
    ctx.feedback.setStatus(QStringLiteral("Programming Firmware: Done"));
    progress(0, 0);
    return !failed;
}

} // namespace zelvan
