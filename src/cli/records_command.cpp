#include "records_command.h"

#include "exit_status.h"

#include "production/record_sink.h"

#include <QJsonArray>
#include <QJsonObject>

namespace zelvan::cli {

int runRecordsCommand(const RunSetup& setup, Console& console) {
    const CliRequest& request = setup.request;
    if (request.options.records.isEmpty()) {
        console.error(
            QStringLiteral("zelvan-cli: %1: name the destinations with --record DEST").arg(request.commandText));
        return kUsage;
    }
    int status = kDone;
    QJsonArray spools;
    for (const QString& destination : request.options.records) {
        QJsonObject entry{{QStringLiteral("destination"), destination}};
        if (request.command == Command::RecordsFlush) {
            QString error;
            const std::optional<int> sent = flushSpool(destination, &error);
            entry[QStringLiteral("sent")] = sent ? QJsonValue(*sent) : QJsonValue();
            if (sent) {
                console.result(QStringLiteral("%1: %2 record(s) sent").arg(destination).arg(*sent));
            } else {
                console.error(QStringLiteral("zelvan-cli: records flush: %1: %2").arg(destination, error));
                entry[QStringLiteral("error")] = error;
                status = kNotDone;
            }
        }
        const SpoolStatus spool = spoolStatus(destination);
        entry[QStringLiteral("waiting")] = spool.count;
        entry[QStringLiteral("oldest")] =
            spool.oldest ? QJsonValue(spool.oldest->toString(Qt::ISODateWithMs)) : QJsonValue();
        entry[QStringLiteral("spool")] = spool.path;
        spools.append(entry);
        console.result(spool.count == 0 ? QStringLiteral("%1: no record waits in the spool").arg(destination)
                                        : QStringLiteral("%1: %2 record(s) wait in the spool %3, the oldest from %4")
                                              .arg(destination)
                                              .arg(spool.count)
                                              .arg(spool.path, spool.oldest->toString(Qt::ISODate)));
    }
    console.json(QJsonObject{{QStringLiteral("command"), request.commandText},
                             {QStringLiteral("status"), status},
                             {QStringLiteral("spools"), spools}});
    return status;
}

} // namespace zelvan::cli
