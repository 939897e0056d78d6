#include "json_lines.h"

#include "durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace zelvan {

namespace {

QByteArray jsonLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// Unbuffered: each line is handed to the system in a single write on a file opened for appending,
// which puts it at the end as one piece even with other writers at work.
constexpr QIODevice::OpenMode kAppending = QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered;

bool appendLine(QFile& file, const QByteArray& line) {
    return file.write(line) == line.size() && syncFileToDisk(file);
}

QString appendFailure(const QFile& file) {
    return QStringLiteral("cannot append to %1: %2").arg(file.fileName(), file.errorString());
}

// A write cut short (a full disk) leaves part of a line at the end of the file; true when the file
// ends that way, so that the next line starts on a line of its own.
bool endsInsideLine(const QString& path) {
    QFile file(path);
    char last = '\n';
    return file.size() > 0 && file.open(QIODevice::ReadOnly) && file.seek(file.size() - 1) && file.getChar(&last) &&
           last != '\n';
}

class JsonLinesDelivery : public RecordDelivery {
public:
    explicit JsonLinesDelivery(const QString& path)
        : file_(path) {}

    bool open(QString* why) {
        const bool broken = endsInsideLine(file_.fileName());
        if (!file_.open(kAppending) || (broken && !appendLine(file_, "\n"))) {
            *why = appendFailure(file_);
            return false;
        }
        return true;
    }

    int send(const QList<QJsonObject>& records, QString* why) override {
        int sent = 0;
        for (const QJsonObject& record : records) {
            if (!appendLine(file_, jsonLine(record))) {
                *why = appendFailure(file_);
                return sent;
            }
            ++sent;
        }
        return sent;
    }

private:
    QFile file_;
};

} // namespace

bool appendJsonLine(const QString& path, const QJsonObject& object, QString* error) {
    QFile file(path);
    if (!file.open(kAppending) || !appendLine(file, jsonLine(object))) {
        *error = appendFailure(file);
        return false;
    }
    return true;
}

std::unique_ptr<RecordDelivery> JsonLinesSink::open(DeliveryFault* fault) {
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        fault->why = QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(folder));
        return nullptr;
    }
    auto delivery = std::make_unique<JsonLinesDelivery>(path_);
    if (!delivery->open(&fault->why))
        return nullptr;
    return delivery;
}

} // namespace zelvan
