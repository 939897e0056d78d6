#include "port_messages.h"

#include <QFileInfo>
#include <QLockFile>
#include <QStringList>

#include <optional>

namespace zelvan {

namespace {

// The program that holds the lock file a serial port takes while it is open ("/var/lock/LCK..ttyUSB0",
// in the first of the usual lock folders that has one): its name and process id.
std::optional<QString> portHolder(const QString& device) {
    static const QStringList kLockFolders{
        QStringLiteral("/var/lock"),         QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),   QStringLiteral("/tmp"),       QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock")};
    QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString& folder : kLockFolders) {
        const QString path = folder + QStringLiteral("/LCK..") + name;
        qint64 pid = 0;
        QString host;
        QString program;
        if (QFileInfo::exists(path) && QLockFile(path).getLockInfo(&pid, &host, &program))
            return QStringLiteral("%1, process %2").arg(program).arg(pid);
    }
    return std::nullopt;
}

// The reason a port could not be opened, with the way out for a permission problem.
QString reasonText(const PortOpenFailure& failure) {
#ifdef Q_OS_UNIX
    // Another program has the port open: its lock file says which, or the system says it is busy.
    const std::optional<QString> holder =
        failure.error == QSerialPort::PermissionError ? portHolder(failure.device) : std::nullopt;
    if (holder || failure.reason.contains(QLatin1String("locking"), Qt::CaseInsensitive) ||
        failure.reason.contains(QLatin1String("busy"), Qt::CaseInsensitive))
        return QStringLiteral("in use by another program%1; try again once it has let go of the port")
            .arg(holder ? QStringLiteral(" (%1)").arg(*holder) : QString());
#endif
#ifdef Q_OS_LINUX
    if (failure.error == QSerialPort::PermissionError) {
        QString group = QFileInfo(failure.device).group();
        if (group.isEmpty() || group == QLatin1String("root"))
            group = QStringLiteral("dialout");
        return QStringLiteral("permission denied. Add your user to the group that owns the device (%1), for example "
                              "with \"sudo usermod -aG %1 $USER\", then log in again.")
            .arg(group);
    }
#endif
    return failure.reason;
}

} // namespace

QString portOpenErrorText(const PortOpenFailure& failure) {
    const QString text = QStringLiteral("Error opening COM %1").arg(failure.port);
    if (failure.device.isEmpty())
        return text + QStringLiteral("\nThe system reports no serial port for COM%1.").arg(failure.port);
    return text + QStringLiteral("\n%1: %2").arg(failure.device, reasonText(failure));
}

QString portFailureLine(const PortOpenFailure& failure) {
    const QString name = failure.port > 0 ? QStringLiteral("COM%1").arg(failure.port) : failure.device;
    if (failure.device.isEmpty())
        return name + QStringLiteral(": the system has no such serial port");
    return QStringLiteral("%1 (%2): %3").arg(name, failure.device, reasonText(failure));
}

bool isWorthReporting(const PortOpenFailure& failure) {
    return !failure.device.isEmpty() && failure.error != QSerialPort::DeviceNotFoundError;
}

QString notFoundText(const QList<PortOpenFailure>& unopenable) {
    QString text = QStringLiteral("Not connected: programmer not found\nThese ports could not be opened:");
    for (const PortOpenFailure& failure : unopenable)
        text += QLatin1Char('\n') + portFailureLine(failure);
    return text;
}

} // namespace zelvan
