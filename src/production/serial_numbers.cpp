#include "serial_numbers.h"

#include "durable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMutex>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

namespace zelvan {

namespace {

using Failure = SerialTake::Failure;

// A number file is a few digits; anything much longer is not one.
constexpr qint64 kMaxNumberFileSize = 64;

bool isText(const QByteArray& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) {
        const auto byte = static_cast<quint8>(c);
        return (byte >= 0x20 && byte < 0x7F) || byte == '\t' || byte == '\n' || byte == '\r';
    });
}

// The number the file holds (1 when there is no file), or why it holds none (bad input).
SerialTake readNumberFile(const QString& file) {
    QFile in(file);
    const auto refused = [&](const QString& why) {
        return SerialTake::failed(Failure::BadInput, QStringLiteral("serial number file %1 %2").arg(file, why));
    };
    if (!in.exists()) {
        if (!QFileInfo(file).absoluteDir().exists())
            return refused(QStringLiteral("lies in a folder that does not exist"));
        return SerialTake::taken(1);
    }
    if (!in.open(QIODevice::ReadOnly))
        return refused(QStringLiteral("cannot be read: %1").arg(in.errorString()));
    const QByteArray content = in.read(kMaxNumberFileSize + 1);
    const QByteArray text = content.trimmed();
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]+$"));
    if (!isText(content))
        return refused(QStringLiteral("holds binary content, not a decimal number"));
    if (content.size() > kMaxNumberFileSize)
        return refused(QStringLiteral("is too long to hold a number"));
    if (text.isEmpty())
        return refused(QStringLiteral("is empty"));
    if (!digits.match(QString::fromLatin1(text)).hasMatch())
        return refused(QStringLiteral("does not hold a decimal number"));
    if (text.startsWith('-'))
        return refused(QStringLiteral("holds a negative number (%1)").arg(QString::fromLatin1(text)));
    bool ok = false;
    const quint64 number = text.toULongLong(&ok);
    if (!ok)
        return refused(QStringLiteral("holds %1, too large for any serial number").arg(QString::fromLatin1(text)));
    return SerialTake::taken(number);
}

// The number the file holds when it fits the place; bad input otherwise.
SerialTake numberForPlace(const QString& file, const SerialPlace& place) {
    SerialTake read = readNumberFile(file);
    if (read.number) {
        if (const QString misfit = serialNumberMisfit(*read.number, place); !misfit.isEmpty())
            return SerialTake::failed(Failure::BadInput,
                                      QStringLiteral("serial number file %1: the next number %2").arg(file, misfit));
    }
    return read;
}

bool writeNumberFile(const QString& file, quint64 next, QString* error) {
    QSaveFile out(file); // a temporary file beside file, synced, then renamed over it
    if (!out.open(QIODevice::WriteOnly) || out.write(QByteArray::number(next) + '\n') < 0 || !out.commit()) {
        *error = QStringLiteral("cannot write serial number file %1: %2").arg(file, out.errorString());
        return false;
    }
    syncFolderOf(file);
    return true;
}

} // namespace

QString serialLockFileName(const QString& file) {
    return file + QStringLiteral(".lock");
}

SerialNumberFile::SerialNumberFile(QString path)
    : path_(std::move(path)) {}

QString SerialNumberFile::check(const SerialPlace& place) {
    // No lock: the file is only ever replaced whole, so a reader sees the old number or the new.
    return numberForPlace(path_, place).error;
}

SerialTake SerialNumberFile::take(const SerialPlace& place, const StopRequest* stop) {
    // The lock file orders processes; threads of this process queue here first, so that the lock
    // file only ever sees one of them.
    static QMutex threadsOfThisProcess;
    const QMutexLocker queue(&threadsOfThisProcess);

    QLockFile lock(serialLockFileName(path_));
    lock.setStaleLockTime(kSerialStaleLockTime);
    if (!lockWithin(lock, kSerialLockWait, stop)) {
        if (stop && stop->requested())
            return SerialTake::failed(Failure::Unavailable,
                                      QStringLiteral("stopped waiting for serial number file %1").arg(path_));
        // Held by another taker: this time only. Not made at all (no folder, no permission): every time.
        if (lock.error() == QLockFile::LockFailedError)
            return SerialTake::failed(
                Failure::Unavailable,
                QStringLiteral("serial number file %1 stayed locked by another program").arg(path_));
        return SerialTake::failed(
            Failure::BadInput,
            QStringLiteral("cannot lock serial number file %1 (%2)").arg(path_, serialLockFileName(path_)));
    }
    const SerialTake next = numberForPlace(path_, place);
    if (!next.number)
        return next;
    // The largest place holds fewer than 11 decimal digits, so number + 1 cannot overflow.
    QString error;
    if (!writeNumberFile(path_, *next.number + 1, &error))
        return SerialTake::failed(Failure::Unavailable, error);
    return next;
}

std::optional<quint64> takeSerialNumber(const QString& file, int bytes, QString* error, const StopRequest* stop) {
    SerialTake take = SerialNumberFile(file).take(SerialPlace{0, bytes, SerialFormat::BigEndian}, stop);
    if (!take.number)
        *error = take.error;
    return take.number;
}

} // namespace zelvan
