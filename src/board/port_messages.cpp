#include "port_messages.h"

#include <QFileInfo>

namespace zelvan {

namespace {

// The reason a port could not be opened, with the way out for a permission problem.
QString reasonText(const PortOpenFailure& failure) {
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
