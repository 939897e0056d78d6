#include "record_sink.h"

#include "json_lines.h"
#include "sql_sink.h"

#include <QCryptographicHash>
#include <QStandardPaths>
#include <QUrl>

namespace zelvan {

namespace {

constexpr int kDefaultPostgresPort = 5432;

} // namespace

std::optional<RecordDestination> parseRecordDestination(const QString& text, QString* error) {
    RecordDestination destination;
    if (text.isEmpty()) {
        *error = QStringLiteral("no record destination given");
        return std::nullopt;
    }
    if (text.startsWith(QLatin1String("sqlite:"))) {
        destination.kind = RecordDestination::Kind::Sqlite;
        destination.path = text.mid(7);
        if (destination.path.isEmpty()) {
            *error = QStringLiteral("record destination \"sqlite:\" names no database file");
            return std::nullopt;
        }
        return destination;
    }
    if (text.startsWith(QLatin1String("postgresql://"))) {
        const QUrl url(text, QUrl::StrictMode);
        destination.kind = RecordDestination::Kind::Postgresql;
        destination.user = url.userName();
        destination.password = url.password();
        destination.host = url.host();
        destination.port = url.port(kDefaultPostgresPort);
        destination.database = url.path().mid(1);
        if (!url.isValid() || destination.user.isEmpty() || destination.host.isEmpty() ||
            destination.database.isEmpty() || destination.database.contains(QLatin1Char('/'))) {
            *error = QStringLiteral("record destination %1 is not postgresql://user@host[:port]/database").arg(text);
            return std::nullopt;
        }
        return destination;
    }
    destination.path = text;
    return destination;
}

QString defaultSpoolPath(const QString& destination) {
    const QByteArray name = QCryptographicHash::hash(destination.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/record-spool/%1.jsonl").arg(QString::fromLatin1(name));
}

std::unique_ptr<RecordSink> openRecordSink(const QString& destination, QString* error, const QString& spoolPath) {
    const std::optional<RecordDestination> parsed = parseRecordDestination(destination, error);
    if (!parsed)
        return nullptr;
    if (parsed->kind == RecordDestination::Kind::JsonLines)
        return std::make_unique<JsonLinesSink>(parsed->path);
    return std::make_unique<SqlRecordSink>(*parsed, spoolPath.isEmpty() ? defaultSpoolPath(destination) : spoolPath);
}

} // namespace zelvan
