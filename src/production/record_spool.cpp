#include "record_spool.h"

#include "durable_file.h"
#include "json_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>

namespace zelvan {

namespace {

QList<QJsonObject> asJson(const QList<ChipRecord>& records) {
    QList<QJsonObject> objects;
    for (const ChipRecord& record : records)
        objects.append(toJson(record));
    return objects;
}

// Takes the spool's lock (its folder made when missing); false when another process held it for
// longer than kSpoolLockWait.
bool lockSpool(QLockFile& lock, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    lock.setStaleLockTime(kSpoolStaleLockTime);
    return lockWithin(lock, kSpoolLockWait);
}

// Replaces the spool with its unreadable lines and the records left; on failure the old spool
// stays as it was.
bool rewriteSpool(const QString& path, const SpoolContents& old, const QList<QJsonObject>& left, QString* why) {
    if (old.unreadable.isEmpty() && left.isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            *why = QStringLiteral("cannot empty the spool %1").arg(path);
            return false;
        }
        return true;
    }
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly);
    for (const QByteArray& line : old.unreadable)
        written = written && file.write(line + '\n') >= 0;
    for (const QJsonObject& record : left)
        written = written && file.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n') >= 0;
    if (!written || !file.commit()) {
        *why = QStringLiteral("cannot rewrite the spool %1: %2").arg(path, file.errorString());
        return false;
    }
    syncFolderOf(path);
    return true;
}

QString lockedText(const QString& path) {
    return QStringLiteral("the spool %1 stayed locked").arg(path);
}

} // namespace

QString oneLine(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("\\s*[\\r\\n\\t]\\s*"));
    return QString(text).replace(breaks, QStringLiteral(" ")).trimmed();
}

std::optional<SpoolContents> readSpool(const QString& path) {
    SpoolContents spool;
    QFile file(path);
    if (!file.exists())
        return spool;
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonDocument document = QJsonDocument::fromJson(line);
        QString error;
        const std::optional<ChipRecord> record =
            document.isObject() ? chipRecordFromJson(document.object(), &error) : std::nullopt;
        if (record)
            spool.records.append(*record);
        else if (!line.trimmed().isEmpty())
            spool.unreadable.append(line);
    }
    return spool;
}

std::optional<DeliveryFault> SpooledSink::check() {
    const QMutexLocker turn(&writing_);
    DeliveryFault fault;
    if (open(&fault))
        return std::nullopt;
    return fault;
}

bool SpooledSink::write(const ChipRecord& record, QString* error) {
    const QMutexLocker turn(&writing_);
    const QJsonObject json = toJson(record);
    DeliveryFault fault;
    QString spoolWhy;
    {
        // Open before taking the spool's lock: a server that does not answer holds up this writer
        // only, not the other processes' spools.
        const std::unique_ptr<RecordDelivery> delivery = open(&fault);
        QLockFile lock(spoolPath_ + QStringLiteral(".lock"));
        // Without the lock the spool is not read or rewritten; a record that was not stored is
        // only appended (whole, in one write). Only a holder stuck for longer than the wait and
        // then rewriting the spool could drop it.
        const bool locked = lockSpool(lock, spoolPath_);
        const std::optional<SpoolContents> spool = delivery && locked ? readSpool(spoolPath_) : std::nullopt;

        QList<QJsonObject> pending = spool ? asJson(spool->records) : QList<QJsonObject>();
        pending.append(json);
        const int sent = delivery ? delivery->send(pending, &fault.why) : 0;
        bool rewritten = false;
        if (spool && (pending.size() > 1 || sent < pending.size()))
            rewritten = rewriteSpool(spoolPath_, *spool, pending.mid(sent), &spoolWhy);
        if (sent < pending.size() && !rewritten && !appendJsonLine(spoolPath_, json, &spoolWhy))
            spoolWhy += QStringLiteral("; the record is lost");
        if (!locked)
            spoolWhy += QStringLiteral("; ") + lockedText(spoolPath_);
        // Stored: a spool that could not be emptied only means records already stored are sent
        // again later.
        if (sent == pending.size())
            return true;
    }
    *error = oneLine(
        QStringLiteral("chip record kept in %1 for later, it could not be stored: %2%3")
            .arg(spoolPath_, fault.why, spoolWhy.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(spoolWhy)));
    return false;
}

std::optional<int> SpooledSink::flush(QString* error) {
    const QMutexLocker turn(&writing_);
    const std::optional<SpoolContents> before = readSpool(spoolPath_);
    if (before && before->records.isEmpty())
        return 0;
    DeliveryFault fault;
    QString spoolWhy;
    int sent = 0;
    qsizetype total = 0;
    {
        const std::unique_ptr<RecordDelivery> delivery = open(&fault);
        QLockFile lock(spoolPath_ + QStringLiteral(".lock"));
        const bool locked = delivery && lockSpool(lock, spoolPath_);
        const std::optional<SpoolContents> spool = locked ? readSpool(spoolPath_) : std::nullopt;
        if (!spool) {
            *error = oneLine(!delivery ? QStringLiteral("the records in %1 stay there: %2").arg(spoolPath_, fault.why)
                             : locked  ? QStringLiteral("cannot read the spool %1").arg(spoolPath_)
                                       : lockedText(spoolPath_));
            return std::nullopt;
        }
        const QList<QJsonObject> pending = asJson(spool->records);
        total = pending.size();
        sent = delivery->send(pending, &fault.why);
        if (sent > 0)
            rewriteSpool(spoolPath_, *spool, pending.mid(sent), &spoolWhy);
    }
    if (sent < total || !spoolWhy.isEmpty()) {
        *error = oneLine(
            sent < total
                ? QStringLiteral("%1 of %2 records in %3 sent, the rest stay there: %4")
                      .arg(sent)
                      .arg(total)
                      .arg(spoolPath_, fault.why)
                : QStringLiteral("%1 records sent, but the spool still holds them: %2").arg(sent).arg(spoolWhy));
        return std::nullopt;
    }
    return sent;
}

} // namespace zelvan
