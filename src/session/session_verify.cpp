// The Verify menu: the CRCs the chip reports against the loaded firmware (computed with the
// calibrated formulation) or against golden CRCs saved from a known-good chip, and the
// calibration of the formulation.

#include "session.h"

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

QString titleOf(Command command) {
    return command == Command::VerifyFirmware || command == Command::ProgramFirmware ? kVerifyTitle
           : command == Command::Calibrate                                           ? kCalibrateTitle
                                                                                     : kGoldenTitle;
}

// Why a command of the menu cannot run yet; empty when it can.
QString notYet(Command command, const std::optional<Part>& part, bool firmwareLoaded) {
    if (command == Command::SaveGolden && (!part || !part->entry))
        return QStringLiteral("Identify a part of the catalogue first (Get LPC ID): golden CRCs are kept with the "
                              "part's name.");
    if ((command == Command::VerifyFirmware || command == Command::Calibrate) && (!part || !firmwareLoaded))
        return QStringLiteral("Identify the part (Get LPC ID) and load its firmware first: %1 compares the chip "
                              "with the loaded firmware.")
            .arg(command == Command::Calibrate ? QStringLiteral("calibration") : QStringLiteral("verify"));
    return part ? QString() : QStringLiteral("Identify the part first (Get LPC ID).");
}

} // namespace

bool Session::runVerifyMenu(Command command) {
    if (const QString why = notYet(command, board_.part(), firmwareLoaded()); !why.isEmpty()) {
        dialogs_.messageBox(why, titleOf(command));
        return false;
    }
    CommandRequest request = requestFor(command);
    std::optional<GoldenCrcs> golden;
    if (command == Command::SaveGolden || command == Command::CompareGolden) {
        request.path =
            command == Command::SaveGolden ? dialogs_.saveFileName(kGoldenFile) : dialogs_.openFileName(kGoldenFile);
        if (request.path.isEmpty())
            return false;
    }
    request.program.verify = {VerifyChoice::Kind::Image, &calibratedCrcVariant(), nullptr, crcVariantCalibrated()};
    if (command == Command::CompareGolden) {
        QString error;
        golden = loadGoldenCrcs(request.path, &error);
        if (!golden) {
            setStatus(closingStatus(QString::fromLatin1(commandRow(command).phrase), Ending::NotDone));
            dialogs_.messageBox(QStringLiteral("Nothing was compared: %1.").arg(error), kGoldenTitle);
            return false;
        }
        request.program.verify = {VerifyChoice::Kind::Golden, nullptr, &*golden};
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
    const QString firmware = QStringLiteral("the firmware (%1)").arg(calibratedCrcVariant().name);
    QString text;
    if (const auto* programmed = result.as<ChipProgramming>()) {
        text = verifyText(*programmed->verification, part, firmware);
    } else if (const auto* verification = result.as<Verification>()) {
        text = verification->ending == Ending::BadInput
                   ? QStringLiteral("Nothing was compared: %1.").arg(verification->reason)
                   : verifyText(*verification, part,
                                command == Command::CompareGolden ? QStringLiteral("the golden CRCs") : firmware);
    } else if (const auto* reading = result.as<GoldenReading>()) {
        text = reading->done() ? QStringLiteral("Golden CRCs of the %1 saved: %2 sectors and the global CRC, in %3.")
                                     .arg(reading->golden->partName)
                                     .arg(reading->golden->sectors.size())
                                     .arg(QFileInfo(path).fileName())
                               : QStringLiteral("The golden CRCs were not saved: %1.").arg(reading->reason);
    } else if (const auto* calibration = result.as<Calibration>()) {
        text = calibration->done() ? QStringLiteral("Calibrated: the chip's CRCs follow %1; every verify uses it from "
                                                    "now on.")
                                         .arg(calibration->matches.front()->name)
                                   : QStringLiteral("Nothing was calibrated: %1.").arg(calibration->reason);
    }
    const Command shown = result.as<ChipProgramming>() ? Command::VerifyFirmware : command;
    setStatus(closingStatus(QString::fromLatin1(commandRow(shown).phrase),
                            board_.stop().requested() ? Ending::Interrupted : result.ending()));
    dialogs_.messageBox(text, titleOf(command));
}

} // namespace zelvan
