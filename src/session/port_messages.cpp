#include "port_messages.h"

#include <QFileInfo>

namespace zelvan {

QString portOpenErrorText(const PortOpenFailure& failure) {
    const QString text = QStringLiteral("Error opening COM %1").arg(failure.port);
    if (failure.device.isEmpty())
        return text + QStringLiteral("\nThe system reports no serial port for COM%1.").arg(failure.port);
#ifdef Q_OS_LINUX
    if (failure.error == QSerialPort::PermissionError) {
        QString group = QFileInfo(failure.device).group();
        if (group.isEmpty() || group == QLatin1String("root"))
            group = QStringLiteral("dialout");
        return text + QStringLiteral("\n%1: permission denied. Add your user to the group that owns the device "
                                     "(%2), for example with \"sudo usermod -aG %2 $USER\", then log in again.")
                          .arg(failure.device, group);
    }
#endif
    return text + QStringLiteral("\n%1: %2").arg(failure.device, failure.reason);
}

} // namespace zelvan
