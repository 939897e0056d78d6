// The Verify menu: the CRCs the chip reports against the loaded firmware (computed with the
// calibrated formulation) or against golden CRCs saved from a known-good chip, and the
// calibration of the formulation.

#include "session.h"

#include "busy_pointer.h"
#include "result_boxes.h"

#include "production/crc_variant_setting.h"
#include "production/golden_crcs.h"

#include <QFileInfo>

namespace zelvan {

namespace {

const QString kVerifyTitle = QStringLiteral("Verify Firmware");
const QString kGoldenTitle = QStringLiteral("Golden CRCs");
const QString kCalibrateTitle = QStringLiteral("Calibrate CRC");
const FileDialogRequest kGoldenFile{QStringLiteral("Golden CRCs"),
                                    QStringLiteral("Golden CRCs (*.json);;All Files (*)"), QStringLiteral("json")};

} // namespace

bool Session::runVerifyMenu(Command command) {
    const std::optional<Part>& part = board_.part();
    const bool needsFirmware = command == Command::VerifyFirmware || command == Command::Calibrate;
    if (!part || (needsFirmware && !firmwareLoaded()) || (command == Command::SaveGolden && !part->entry)) {
        const QString why =
            command == Command::SaveGolden ? QStringLiteral("Identify a part of the catalogue first (Get LPC ID): "
                                                            "golden CRCs are kept with the part's name.")
            : needsFirmware ? QStringLiteral("Identify the part (Get LPC ID) and load its firmware first: %1 the "
                                             "chip with the loaded firmware.")
                                  .arg(command == Command::Calibrate ? QStringLiteral("calibration compares")
                                                                     : QStringLiteral("verify compares"))
                            : QStringLiteral("Identify the part first (Get LPC ID).");
        dialogs_.messageBox(why, command == Command::VerifyFirmware ? kVerifyTitle
                                 : command == Command::Calibrate    ? kCalibrateTitle
                                                                    : kGoldenTitle);
        return false;
    }
    CommandRequest request = requestFor(command);
    std::optional<GoldenCrcs> golden;
    if (command == Command::SaveGolden || command == Command::CompareGolden) {
        request.path = command == Command::SaveGolden ? dialogs_.saveFileName(kGoldenFile)
                                                      : dialogs_.openFileName(kGoldenFile);
        if (request.path.isEmpty())
            return false;
    }
    if (command == Command::CompareGolden) {
        QString error;
        golden = loadGoldenCrcs(request.path, &error);
        if (golden && golden->partName != part->name())
            error = QStringLiteral("the golden CRCs are those of an %1; this part is %2")
                        .arg(golden->partName, part->entry ? QStringLiteral("an ") + part->name()
                                                           : QStringLiteral("unknown"));
        if (!error.isEmpty()) {
            setStatus(closingStatus(QString::fromLatin1(commandRow(command).phrase), Ending::NotDone));
            dialogs_.messageBox(QStringLiteral("Nothing was compared: %1.").arg(error), kGoldenTitle);
            return false;
        }
        request.program.verify = {VerifyChoice::Kind::Golden, nullptr, &*golden};
    } else {
        request.program.verify = {VerifyChoice::Kind::Image, &calibratedCrcVariant(), nullptr};
    }
    BusyPointer busy(dialogs_);
    CommandCall call{board_, *this, *this, request};
    const CommandResult result = runCommand(command, call);
    busy.release();
    showVerification(command, result, request.path);
    return result.done();
}

void Session::showVerification(Command command, const CommandResult& result, const QString& path) {
    const DeviceGeometry& part = board_.part()->geometry;
    const Ending ending = board_.stop().requested() ? Ending::Interrupted : result.ending();
    const QString phrase = QString::fromLatin1(commandRow(command).phrase);
    if (const auto* programmed = result.as<ChipProgramming>()) {
        setStatus(closingStatus(phrase, ending));
        dialogs_.messageBox(verifyText(*programmed->verification, part,
                                       QStringLiteral("the firmware (%1)").arg(calibratedCrcVariant().name)),
                            kVerifyTitle);
    } else if (const auto* verification = result.as<Verification>()) {
        setStatus(closingStatus(phrase, ending));
        const bool golden = command == Command::CompareGolden;
        dialogs_.messageBox(verifyText(*verification, part,
                                       golden ? QStringLiteral("the golden CRCs")
                                              : QStringLiteral("the firmware (%1)").arg(calibratedCrcVariant().name)),
                            golden ? kGoldenTitle : kVerifyTitle);
    } else if (const auto* reading = result.as<GoldenReading>()) {
        setStatus(closingStatus(phrase, ending));
        if (reading->done())
            dialogs_.messageBox(QStringLiteral("Golden CRCs of the %1 saved: %2 sectors and the global CRC, in %3.")
                                    .arg(reading->golden->partName)
                                    .arg(reading->golden->sectors.size())
                                    .arg(QFileInfo(path).fileName()),
                                kGoldenTitle);
        else
            dialogs_.messageBox(QStringLiteral("The golden CRCs were not saved: %1.").arg(reading->reason),
                                kGoldenTitle);
    } else if (const auto* calibration = result.as<Calibration>()) {
        setStatus(closingStatus(phrase, ending));
        dialogs_.messageBox(calibration->done()
                                ? QStringLiteral("Calibrated: the chip's CRCs follow %1; every verify uses it from now "
                                                 "on.")
                                      .arg(calibration->matches.front()->name)
                                : QStringLiteral("Nothing was calibrated: %1.").arg(calibration->reason),
                            kCalibrateTitle);
    }
}

} // namespace zelvan
