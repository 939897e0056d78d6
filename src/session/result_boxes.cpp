#include "result_boxes.h"

#include "common/hex_text.h"
#include "common/system_texts.h"

namespace zelvan {

namespace {

Presentation statusOnly(const QString& status) {
    Presentation shown;
    shown.status = status;
    return shown;
}

using Box = Presentation::Box;

QString phraseOf(Command command) {
    return QString::fromLatin1(commandRow(command).phrase);
}

// A result box that says "<title>: Done", or what went wrong.
Presentation resultBox(const QString& phrase, const QString& title, const Result& result) {
    return {closingStatus(phrase, result.ending), Box::Result,
            result.done() ? closingStatus(title, Ending::Done) : failureText(result.ending), title};
}

QString unitText(Command command) {
    return command == Command::ErasePage ? QStringLiteral("page") : QStringLiteral("sector");
}

Presentation rangeErase(Command command, const RangeEraseResult& erased) {
    const bool pages = command == Command::ErasePage;
    const QString title = pages ? QStringLiteral("Page Erasing") : QStringLiteral("Sector Erasing");
    Presentation shown = resultBox(phraseOf(command), title, erased);
    const auto protectionText = [pages](int address) {
        return pages
                   ? QStringLiteral("Erasing %1H and higher disabled to protect bootloader").arg(strDecToHex16(address))
                   : QStringLiteral("Erasing Sector %1H disabled to protect original bootloader")
                         .arg(strDecToHex16(address));
    };
    // Protection that stopped the range says so, whether it erased what lay below or nothing.
    if (erased.protectedAt && (erased.done() || erased.ending == Ending::NotDone))
        shown.boxText = protectionText(*erased.protectedAt);
    else if (erased.ending == Ending::NotDone)
        shown.boxText = QStringLiteral("ERROR: no %1 range is chosen").arg(unitText(command));
    else if (erased.ending == Ending::Interrupted)
        shown.boxText = closingStatus(title, Ending::Interrupted);
    return shown;
}

Presentation sectorCrcs(Command command, const SectorCrcReading& reading) {
    QString text;
    if (reading.ending == Ending::Refused || reading.ending == Ending::Unanswered) {
        // The box shows the error alone: a partial list would pass for a complete one.
        text = failureText(reading.ending);
    } else {
        for (const SectorCrc& crc : reading.values)
            text +=
                QStringLiteral("CRC %1-%2 = %3\r\n")
                    .arg(strDecToHex16(crc.address), strDecToHex16(crc.address + reading.sectorSize - 1), crc.value);
        if (reading.ending == Ending::Interrupted)
            text += closingStatus(phraseOf(command), Ending::Interrupted) + QStringLiteral("\r\n");
    }
    return {closingStatus(phraseOf(command), reading.ending), Box::Message, text, QStringLiteral("Sectors CRC")};
}

Presentation programming(Command command, const ChipProgramming& result) {
    const ProgramResult& programmed = result.programmed;
    if (result.nothingLoaded)
        return statusOnly(closingStatus(phraseOf(command), Ending::NotDone) +
                          QStringLiteral(" (no firmware is loaded)"));
    const Result& ended =
        result.verification ? static_cast<const Result&>(programmed) : static_cast<const Result&>(result);
    const QString text = ended.done()                          ? QStringLiteral("Programming: Done")
                         : ended.ending == Ending::Interrupted ? QStringLiteral("Programming interrupted")
                                                               : QStringLiteral("Programming error");
    return {closingStatus(phraseOf(command), ended.ending), Box::Result, text,
            QStringLiteral("Peripheral Programming")};
}

Presentation configuration(Command command, const ConfigEdit& edit) {
    const QString title = QStringLiteral("Program ") + configByteAt(commandRow(command).configAddress)->name;
    if (!edit.current)
        return {closingStatus(phraseOf(command), edit.ending), Box::Message, failureText(edit.ending), title};
    return statusOnly(closingStatus(phraseOf(command), edit.ending));
}

} // namespace

Presentation presentation(Command command, const CommandResult& result) {
    if (const auto* reading = result.as<ValueReading>()) {
        if (command == Command::Version)
            return statusOnly(reading->done() ? QStringLiteral("Loader Version: ") + reading->value
                                              : closingStatus(phraseOf(command), reading->ending));
        // The global CRC: its box during an automation run too.
        return {closingStatus(phraseOf(command), reading->ending), Box::Message,
                reading->done() ? systemText::kGlobalCrcPrefix + reading->value + QStringLiteral("\r\n")
                                : failureText(reading->ending),
                QStringLiteral("Global CRC"), true};
    }
    if (const auto* erased = result.as<ChipEraseResult>()) {
        if (erased->keptForBootloader) // shown during an automation run too: the file asked for it
            return {QString(), Box::Message, QStringLiteral("Erasing chip disabled to protect original bootloader"),
                    QStringLiteral("Chip Erase")};
        if (erased->ending == Ending::NotDone) // the user did not confirm: nothing happened
            return {};
        return resultBox(phraseOf(command), QStringLiteral("Chip Erasing"), *erased);
    }
    if (const auto* erased = result.as<RangeEraseResult>())
        return rangeErase(command, *erased);
    if (const auto* reading = result.as<SectorCrcReading>())
        return sectorCrcs(command, *reading);
    if (const auto* programmed = result.as<ChipProgramming>())
        return programming(command, *programmed);
    if (const auto* edit = result.as<ConfigEdit>())
        return configuration(command, *edit);
    if (const auto* walk = result.as<SecurityWalk>()) {
        if (walk->readFailed)
            return {QString(), Box::Message, failureText(walk->ending), QStringLiteral("Security Bytes")};
        // A walk that went on past a refused write does not end in the last sector's "Done".
        if (!walk->notWritten.isEmpty() && walk->ending != Ending::Interrupted) {
            QStringList sectors;
            for (const int sector : walk->notWritten)
                sectors.append(QString::number(sector));
            return statusOnly(
                closingStatus(securityPhrase(walk->lastSector), Ending::NotDone) +
                QStringLiteral(" (sector%1 %2 not written)")
                    .arg(sectors.size() > 1 ? QStringLiteral("s") : QString(), sectors.join(QStringLiteral(", "))));
        }
        return {};
    }
    const Result& ended = result.base();
    if (command == Command::ICP || command == Command::OFF)
        return resultBox(phraseOf(command), phraseOf(command), ended);
    return statusOnly(closingStatus(phraseOf(command), ended.ending));
}

QString verifyText(const Verification& verification, const DeviceGeometry& part, const QString& against) {
    if (verification.passed())
        return QStringLiteral("Verify: Done. %1 CRC(s) as %2 says.").arg(verification.compared).arg(against);
    QString problem = verifyProblem(verification, part);
    problem[0] = problem[0].toUpper();
    return QStringLiteral("%1.\nCompared with %2.").arg(problem, against);
}

} // namespace zelvan
