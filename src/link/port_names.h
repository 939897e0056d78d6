#pragma once

#include <QString>
#include <QStringList>

namespace zelvan {

// Number of the ports the program offers: COM1 to COM8.
inline constexpr int kPortCount = 8;

// The device behind COMn (n = 1..8). ZELVAN_COM<n> names it when set; otherwise on Windows it is
// "COMn", elsewhere the n-th serial port the system reports (USB adapters first, then the rest, in
// natural name order). Empty when the system has no n-th port.
QString comDeviceName(int n);

// "COM1" .. "COM8", in order.
QStringList comPortNames();

// The n of a port named "COM<n>" (n = 1..8, any case), or 0 for any other name (a device path).
int comNumberOf(const QString& portName);

// The device a port name stands for: the device behind COMn, or the name itself.
QString deviceOfPortName(const QString& portName);

// Orders device names for the COMn mapping: USB adapters (ttyUSB*, ttyACM*, cu.usb*) first, then
// the others, each group in natural order (ttyS2 before ttyS10).
QStringList orderSerialDevices(QStringList names);

} // namespace zelvan
