#include "port_names.h"

#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QtGlobal>

#include <algorithm>

namespace zelvan {

namespace {

bool isUsbAdapter(const QString& path) {
    const QString name = path.section(QLatin1Char('/'), -1);
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM")) ||
           name.startsWith(QLatin1String("cu.usb"));
}

// Compares two names run by run, reading runs of digits as numbers ("ttyS2" < "ttyS10").
bool naturalLess(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            const qulonglong na = a.mid(i, ei - i).toULongLong();
            const qulonglong nb = b.mid(j, ej - j).toULongLong();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QStringList orderSerialDevices(QStringList names) {
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const bool usbA = isUsbAdapter(a);
        const bool usbB = isUsbAdapter(b);
        if (usbA != usbB)
            return usbA;
        return naturalLess(a, b);
    });
    return names;
}

int comNumberOf(const QString& portName) {
    static const QRegularExpression pattern(QStringLiteral("^COM([1-%1])$").arg(kPortCount),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(portName);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString deviceOfPortName(const QString& portName) {
    const int n = comNumberOf(portName);
    return n > 0 ? comDeviceName(n) : portName;
}

QString comDeviceName(int n) {
    const QByteArray override = qgetenv(QByteArray("ZELVAN_COM") + QByteArray::number(n));
    if (!override.isEmpty())
        return QString::fromLocal8Bit(override);
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    QStringList devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.append(info.systemLocation());
    devices = orderSerialDevices(devices);
    return n >= 1 && n <= devices.size() ? devices.at(n - 1) : QString();
#endif
}

QStringList comPortNames() {
    QStringList names;
    for (int port = 1; port <= kPortCount; ++port)
        names.append(QStringLiteral("COM%1").arg(port));
    return names;
}

} // namespace zelvan
