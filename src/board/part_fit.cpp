#include "part_fit.h"

namespace zelvan {

PartFit fitToPart(const Part& part, Command command, const HexFiles& files, bool truncate, Progress& progress) {
    PartFit fit;
    if (part.ids.allFF()) {
        fit.end(Ending::NotDone, QStringLiteral("no target answers behind the board (its ids read FF FF FF): is it "
                                                "connected and powered?"));
        return fit;
    }
    if (!part.entry && commandRow(command).needsLayout) {
        fit.end(Ending::NotDone, QStringLiteral("the part's ids %1 are not in the catalogue: its flash layout is not "
                                                "known, so it is not erased, programmed or verified")
                                     .arg(part.ids.text()));
        return fit;
    }
    if (!part.entry)
        progress.notice(QStringLiteral("device id %1 is not in the catalogue; taking 16 KB of flash, 1 KB sectors "
                                       "and 16-byte pages")
                            .arg(part.ids.deviceId2));
    if (!files.paths.isEmpty()) {
        const int flashSize = part.geometry.flashSize();
        QString problem = nothingForPart(files, flashSize, part.name());
        if (problem.isEmpty() && !truncate)
            problem = fitProblem(files, flashSize, part.name());
        if (!problem.isEmpty()) {
            fit.end(Ending::BadInput, problem);
            return fit;
        }
        fit.image = FirmwareCache::layOut(files.image, part.geometry.intFlashLastAddr);
    }
    fit.end(Ending::Done);
    return fit;
}

} // namespace zelvan
