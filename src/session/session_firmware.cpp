// Loading Intel HEX files into the image cache and programming it into the flash.

#include "session.h"

#include "firmware/firmware_loading.h"
#include "firmware/programming.h"

namespace zelvan {

void Session::cmdLoadFirmware_Click() {
    loadFirmware(QString());
}

void Session::loadFirmware(const QString& givenPath) {
    if (!part_)
        return;
    CommandContext ctx = context();
    const QString path = loadFirmwareFile(ctx, firmware_, part_->intFlashLastAddr, firmwareLoaded(), givenPath);
    if (path.isEmpty())
        return;
    loadedFiles_.append(path);
    showLoaded(path);
    emit firmwareFileLoaded(path);
}

void Session::showLoaded(const QString& path) {
    setEnabled(Command::ProgramFirmware, true);
    setEnabled(Command::ClearFirmware, true);
    setFirmwareLabel(firmwareLabel_ + path);
}

void Session::reloadFirmware(const QStringList& files) {
    // Each file is read as Load Firmware reads it, with its warnings (a part with less flash gets
    // the over-flash one) and its boxes; a file that is gone or broken now leaves the list. The
    // not-cleared warning is not repeated: the user saw it when the files were first laid over
    // each other.
    CommandContext ctx = context();
    for (const QString& path : files) {
        if (!loadFirmwareFile(ctx, firmware_, part_->intFlashLastAddr, false, path).isEmpty()) {
            loadedFiles_.append(path);
            showLoaded(path);
        }
    }
    const QString count = loadedFiles_.size() == files.size()
                              ? QString::number(files.size())
                              : QStringLiteral("%1 of %2").arg(loadedFiles_.size()).arg(files.size());
    setStatus(QStringLiteral("Firmware reloaded for the new part: %1 file(s)").arg(count));
}

bool Session::cmdProgramFirmware_Click() {
    if (!part_)
        return false;
    CommandContext ctx = context();
    countProgressIn(QStringLiteral("pages"));
    if (!programFirmware(ctx, firmware_, *part_, quickMode_, protectForRun_).done())
        return false;
    return !verifyAfterProgram_ || fgAutoRunning_ || verifyFirmware();
}

} // namespace zelvan
