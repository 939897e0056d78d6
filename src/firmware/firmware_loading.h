#pragma once

#include "hex_image.h"
#include "intel_hex.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zelvan {

// The largest file read as Intel HEX: 64 MB, far above any image of these parts (a 16 KB image is
// about 45 KB of text) and well above the 1 MB files that carry data above the flash too.
inline constexpr qint64 kMaxHexFileBytes = 64 * 1024 * 1024;

// One Intel HEX file read and checked whole: the image it writes, or why it was refused. A file that
// is not a regular file, or is larger than kMaxHexFileBytes, is refused before it is read.
struct HexFile {
    QString path;
    HexReadResult result;
    HexImage image;
    bool ok() const { return result.ok(); }
};
HexFile loadHexFile(const QString& path);

// "Error:  n" and the line and reason, as the window's box shows a file that could not be loaded.
QString hexFaultText(const QString& path, const HexReadResult& result);
// The same in one line for a terminal, naming the file as it was given and without the number:
// "blink.hex, line 5: the checksum is 95 but the record's bytes need 96".
QString hexFaultLine(const QString& path, const HexReadResult& result);

// Several files laid over each other in order (later files win): the image a run programs. Each
// file is read once; the image is then laid out for each board's part.
struct HexFiles {
    QStringList paths;
    QList<HexFile> files;           // each file as read
    HexImage image;                 // all of them laid over each other
    std::optional<HexFile> refused; // the first file that could not be used
    bool ok() const { return !refused; }
};
HexFiles loadHexFiles(const QStringList& paths);

// Why the files do not fit a part of flashSize bytes (named partName): the first file that writes
// outside its flash (other than the configuration bytes that are captured), with the first address
// outside; empty when all fit.
QString fitProblem(const HexFiles& files, int flashSize, const QString& partName);
// Why the files give nothing for the part: no byte inside its flash and no configuration value;
// empty when they give something.
QString nothingForPart(const HexFiles& files, int flashSize, const QString& partName);

} // namespace zelvan
