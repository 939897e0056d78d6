#include "regular_file.h"

#include <QFile>
#include <QFileInfo>

namespace zelvan {

FileContent readRegularFile(const QString& path, qint64 maxBytes) {
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
    // Read one byte more than allowed: a file that grew since it was looked at is still refused.
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

} // namespace zelvan
