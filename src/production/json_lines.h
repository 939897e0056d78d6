#pragma once

#include "record_sink.h"

#include <QJsonObject>
#include <QString>

namespace zelvan {

// Appends the object to path as one line of compact JSON and syncs it to the disk. The file is
// opened for appending and the line goes out in one write, so lines that several processes
// append at the same time land whole, one after another. False with *error when it failed.
bool appendJsonLine(const QString& path, const QJsonObject& object, QString* error);

// A file of JSON lines, one record a line, appended as each board finishes.
class JsonLinesSink : public RecordSink {
public:
    explicit JsonLinesSink(QString path)
        : path_(std::move(path)) {}
    bool write(const ChipRecord& record, QString* error) override;

private:
    QString path_;
};

} // namespace zelvan
