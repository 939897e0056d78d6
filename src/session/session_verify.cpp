// Verify: the CRCs the chip reports, against the loaded firmware or against golden CRCs.

#include "session.h"

#include "common/busy_pointer.h"
#include "firmware/image_bytes.h"
#include "flash/crc_readback.h"
#include "link/isp_commands.h"
#include "production/crc_variant_setting.h"
#include "production/verification.h"
#include "programmer/outcome_report.h"

#include <QFileInfo>

namespace zelvan {

namespace {

const QString kVerifyTitle = QStringLiteral("Verify Firmware");
const QString kGoldenTitle = QStringLiteral("Golden CRCs");
const FileDialogRequest kGoldenFile{QStringLiteral("Golden CRCs"),
                                    QStringLiteral("Golden CRCs (*.json);;All Files (*)"), QStringLiteral("json")};

// The box text of a verify.
QString verifyText(const Verification& verification, const DeviceGeometry& part, const QString& against) {
    if (verification.passed())
        return QStringLiteral("Verify: Done. %1 CRC(s) as %2 says.").arg(verification.compared).arg(against);
    QString problem = verifyProblem(verification, part);
    problem[0] = problem[0].toUpper();
    return QStringLiteral("%1.\nCompared with %2.").arg(problem, against);
}

} // namespace

bool Session::verifyFirmware() {
    if (!part_ || !firmwareLoaded()) {
        dialogs_.messageBox(QStringLiteral("Identify the part (Get LPC ID) and load its firmware first: verify "
                                           "compares the chip with the loaded firmware."),
                            kVerifyTitle);
        return false;
    }
    const QString phrase = QStringLiteral("Verifying Firmware");
    CommandContext ctx = context();
    BusyPointer busy(dialogs_);
    setStatus(phrase + QStringLiteral("..."));
    countProgressIn(QStringLiteral("sectors"));
    const CrcVariant& variant = calibratedCrcVariant();
    const Verification verification = verifyAgainstImage(ctx, *part_, imageBytes(firmware_), variant, false);
    busy.release();
    const Ending ending = stop_.requested() ? Ending::Interrupted : endingOf(verification.passed());
    setStatus(closingStatus(phrase, ending));
    dialogs_.messageBox(verifyText(verification, *part_, QStringLiteral("the firmware (%1)").arg(variant.name)),
                        kVerifyTitle);
    return verification.passed();
}

bool Session::saveGoldenCrcs() {
    const CatalogueEntry* entry = part_ ? findPartById(partId2_) : nullptr;
    if (!entry) {
        dialogs_.messageBox(QStringLiteral("Identify a part of the catalogue first (Get LPC ID): golden CRCs are "
                                           "kept with the part's name."),
                            kGoldenTitle);
        return false;
    }
    const QString path = dialogs_.saveFileName(kGoldenFile);
    if (path.isEmpty())
        return false;
    const QString phrase = QStringLiteral("Saving Golden CRCs");
    CommandContext ctx = context();
    BusyPointer busy(dialogs_);
    setStatus(phrase + QStringLiteral("..."));
    countProgressIn(QStringLiteral("sectors"));
    const std::optional<GoldenCrcs> golden = readGoldenCrcs(ctx, *part_, entry->partName());
    busy.release();
    QString error = QStringLiteral("the CRCs could not all be read (%1)").arg(kErrNoResponse);
    if (golden && zelvan::saveGoldenCrcs(path, *golden, &error)) {
        setStatus(closingStatus(phrase, Ending::Done));
        dialogs_.messageBox(QStringLiteral("Golden CRCs of the %1 saved: %2 sectors and the global CRC, in %3.")
                                .arg(entry->partName())
                                .arg(golden->sectors.size())
                                .arg(QFileInfo(path).fileName()),
                            kGoldenTitle);
        return true;
    }
    setStatus(closingStatus(phrase, stop_.requested() ? Ending::Interrupted : Ending::Error));
    dialogs_.messageBox(QStringLiteral("The golden CRCs were not saved: %1.").arg(error), kGoldenTitle);
    return false;
}

bool Session::compareWithGolden() {
    if (!part_) {
        dialogs_.messageBox(QStringLiteral("Identify the part first (Get LPC ID)."), kGoldenTitle);
        return false;
    }
    const QString path = dialogs_.openFileName(kGoldenFile);
    if (path.isEmpty())
        return false;
    const QString phrase = QStringLiteral("Comparing with Golden CRCs");
    QString error;
    const std::optional<GoldenCrcs> golden = loadGoldenCrcs(path, &error);
    const CatalogueEntry* entry = findPartById(partId2_);
    if (golden && (!entry || golden->partName != entry->partName()))
        error =
            QStringLiteral("the golden CRCs are those of an %1; this part is %2")
                .arg(golden->partName, entry ? QStringLiteral("an ") + entry->partName() : QStringLiteral("unknown"));
    if (!error.isEmpty()) {
        setStatus(closingStatus(phrase, Ending::Error));
        dialogs_.messageBox(QStringLiteral("Nothing was compared: %1.").arg(error), kGoldenTitle);
        return false;
    }
    CommandContext ctx = context();
    BusyPointer busy(dialogs_);
    setStatus(phrase + QStringLiteral("..."));
    countProgressIn(QStringLiteral("sectors"));
    const Verification verification = verifyAgainstGolden(ctx, *part_, *golden, std::nullopt);
    busy.release();
    setStatus(closingStatus(phrase, stop_.requested() ? Ending::Interrupted : endingOf(verification.passed())));
    dialogs_.messageBox(verifyText(verification, *part_, QStringLiteral("the golden CRCs")), kGoldenTitle);
    return verification.passed();
}

} // namespace zelvan
