#include "serial_numbers.h"

#include "durable_file.h"

#include <QFile>
#include <QLockFile>
#include <QMutex>
#include <QRegularExpression>
#include <QSaveFile>

namespace zelvan {

namespace {

// A number file is a few digits; anything much longer is not one.
constexpr qint64 kMaxNumberFileSize = 64;

QString hexAddress(quint64 address) {
    return QStringLiteral("0x") + QString::number(address, 16).rightJustified(4, QLatin1Char('0')).toUpper();
}

std::optional<quint64> readNumberFile(const QString& file, QString* error) {
    QFile in(file);
    if (!in.exists())
        return 1;
    if (!in.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read serial number file %1: %2").arg(file, in.errorString());
        return std::nullopt;
    }
    const QByteArray text = in.read(kMaxNumberFileSize + 1).trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,20}$"));
    bool ok = digits.match(QString::fromLatin1(text)).hasMatch();
    const quint64 number = ok ? text.toULongLong(&ok) : 0;
    if (!ok) {
        *error = QStringLiteral("serial number file %1 does not hold a decimal number").arg(file);
        return std::nullopt;
    }
    return number;
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

std::optional<SerialPlace> parseSerialPlace(QStringView text, QString* error) {
    static const QRegularExpression form(QStringLiteral("^(0[xX][0-9A-Fa-f]+|[0-9]+)(?::([0-9]+))?$"));
    const QRegularExpressionMatch match = form.match(text.toString());
    if (!match.hasMatch()) {
        *error = QStringLiteral("serial number place \"%1\" is not ADDR[:BYTES] (ADDR decimal or 0x hex, BYTES 1..4)")
                     .arg(text);
        return std::nullopt;
    }
    const QString address = match.captured(1);
    bool ok = false;
    const qulonglong value = address.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                 ? address.mid(2).toULongLong(&ok, 16)
                                 : address.toULongLong(&ok, 10);
    if (!ok || value > 0xFFFFFFFFu) {
        *error = QStringLiteral("serial number address %1 is too large").arg(address);
        return std::nullopt;
    }
    SerialPlace place;
    place.address = static_cast<quint32>(value);
    if (match.hasCaptured(2)) {
        place.bytes = match.captured(2).toInt(&ok);
        if (!ok || place.bytes < 1 || place.bytes > 4) {
            *error = QStringLiteral("serial number size %1 must be 1 to 4 bytes").arg(match.captured(2));
            return std::nullopt;
        }
    }
    return place;
}

QString serialPlaceProblem(const SerialPlace& place, const DeviceGeometry& geometry) {
    const quint64 end = quint64(place.address) + quint64(place.bytes);
    const QString where = QStringLiteral("serial number at %1..%2").arg(hexAddress(place.address), hexAddress(end - 1));
    if (end > quint64(geometry.flashSize()))
        return QStringLiteral("%1 lies outside the flash (0x0000..%2)")
            .arg(where, hexAddress(geometry.flashSize() - 1));
    if (geometry.intBootloaderAddr < geometry.flashSize() && end > quint64(geometry.intBootloaderAddr))
        return QStringLiteral("%1 reaches into the bootloader area from %2")
            .arg(where, hexAddress(geometry.intBootloaderAddr));
    return QString();
}

QString serialLockFileName(const QString& file) {
    return file + QStringLiteral(".lock");
}

std::optional<quint64> takeSerialNumber(const QString& file, int bytes, QString* error, const StopRequest* stop) {
    // The lock file orders processes; threads of this process queue here first, so that the lock
    // file only ever sees one of them.
    static QMutex threadsOfThisProcess;
    const QMutexLocker queue(&threadsOfThisProcess);

    QLockFile lock(serialLockFileName(file));
    lock.setStaleLockTime(kSerialStaleLockTime);
    if (!lockWithin(lock, kSerialLockWait, stop)) {
        *error = lock.error() == QLockFile::LockFailedError
                     ? QStringLiteral("serial number file %1 stayed locked by another program").arg(file)
                     : QStringLiteral("cannot lock serial number file %1 (%2)").arg(file, serialLockFileName(file));
        return std::nullopt;
    }

    const std::optional<quint64> number = readNumberFile(file, error);
    if (!number)
        return std::nullopt;
    // bytes is at most 4, so number + 1 below cannot overflow.
    if (bytes < 1 || bytes > 4 || *number >> (8 * bytes) != 0) {
        *error = QStringLiteral("serial number %1 does not fit in %2 bytes").arg(*number).arg(bytes);
        return std::nullopt;
    }
    if (!writeNumberFile(file, *number + 1, error))
        return std::nullopt;
    return number;
}

QByteArray serialBytes(quint64 number, int bytes) {
    QByteArray result(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i, number >>= 8)
        result[i] = static_cast<char>(number & 0xFF);
    return result;
}

bool laySerialNumber(FirmwareCache& cache, const SerialPlace& place, quint64 number) {
    if (quint64(place.address) + quint64(place.bytes) > quint64(cache.size()))
        return false;
    const QByteArray bytes = serialBytes(number, place.bytes);
    for (int i = 0; i < bytes.size(); ++i)
        cache.setByteText(int(place.address) + i, bytes.mid(i, 1).toHex().toUpper());
    return true;
}

} // namespace zelvan
