#include "json_lines.h"

#include "durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace zelvan {

bool appendJsonLine(const QString& path, const QJsonObject& object, QString* error) {
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Unbuffered: the whole line is handed to the system in a single write on a file opened for
    // appending, which puts it at the end as one piece even with other writers at work.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered) ||
        file.write(line) != line.size() || !syncFileToDisk(file)) {
        *error = QStringLiteral("cannot append to %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool JsonLinesSink::write(const ChipRecord& record, QString* error) {
    return appendJsonLine(path_, toJson(record), error);
}

} // namespace zelvan
