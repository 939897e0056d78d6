#include "regular_file.h"

#include <QFile>
#include <QFileInfo>

namespace zelvan {

namespace {

// Reads what the file gives, at most maxBytes; one byte more is refused (a file that grew since it
// was looked at, or a pipe that gives too much).
FileContent readAtMost(QFile& file, qint64 maxBytes) {
    FileContent content;
    content.bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        content.fault = FileContent::Fault::Unreadable;
        content.reason = file.errorString();
        content.bytes.clear();
    } else if (content.bytes.size() > maxBytes) {
        content.fault = FileContent::Fault::TooLarge;
        content.reason = QStringLiteral("the file has more than the %1 bytes accepted").arg(maxBytes);
        content.bytes.clear();
    }
    return content;
}

} // namespace

FileContent readRegularFile(const QString& path, qint64 maxBytes) {
    if (path == kStandardInput) {
        // Whoever gives the program its standard input means it to be read (a pipe from objcopy):
        // it is read to its end, bounded like a file.
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly))
            return FileContent{FileContent::Fault::Unreadable, input.errorString(), {}};
        return readAtMost(input, maxBytes);
    }
    FileContent content;
    const QFileInfo info(path);
    if (!info.exists()) {
        content.fault = FileContent::Fault::Missing;
        content.reason = QStringLiteral("the file does not exist");
        return content;
    }
    if (!info.isFile()) {
        content.fault = FileContent::Fault::NotRegular;
        content.reason = QStringLiteral("it is not a regular file (a folder, device or pipe)");
        return content;
    }
    if (info.size() > maxBytes) {
        content.fault = FileContent::Fault::TooLarge;
        content.reason =
            QStringLiteral("the file has %1 bytes, more than the %2 accepted").arg(info.size()).arg(maxBytes);
        return content;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        content.fault = FileContent::Fault::Unreadable;
        content.reason = file.errorString();
        return content;
    }
    return readAtMost(file, maxBytes);
}

} // namespace zelvan
