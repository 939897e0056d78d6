#pragma once

#include "record_spool.h"

#include <QJsonObject>
#include <QString>

namespace zelvan {

// Appends the object to path as one line of compact JSON and syncs it to the disk. The file is
// opened for appending and the line goes out in one write, so lines that several processes
// append at the same time land whole, one after another. No folder is made. False with *error
// when it failed.
bool appendJsonLine(const QString& path, const QJsonObject& object, QString* error);

// A file of JSON lines, one record a line, appended as each board finishes. The file is made when
// missing, its folder never: a folder that is not there is a mistyped destination. A record that
// cannot be appended (the folder became read-only, the disk is full) waits in the spool.
class JsonLinesSink : public SpooledSink {
public:
    JsonLinesSink(QString path, QString spoolPath)
        : SpooledSink(std::move(spoolPath))
        , path_(std::move(path)) {}

protected:
    std::unique_ptr<RecordDelivery> open(DeliveryFault* fault) override;

private:
    QString path_;
};

} // namespace zelvan
