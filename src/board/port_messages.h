#pragma once

#include "link/isp_link.h"

#include <QList>
#include <QString>

namespace zelvan {

// "Error opening COM n", and on a second line what went wrong, with the way out when it is a
// permission problem (membership of the group that owns the device).
QString portOpenErrorText(const PortOpenFailure& failure);

// What went wrong with a port, in one line: "COM2 (/dev/ttyUSB0): permission denied. Add ...".
QString portFailureLine(const PortOpenFailure& failure);

// Whether a failed opening says something about where a board may be: the port exists but could
// not be opened (permission, busy, an I/O error). A COMn the system does not have says nothing.
bool isWorthReporting(const PortOpenFailure& failure);

// Auto Connect found no board: "Not connected: programmer not found", then the ports that could
// not be opened, one line each.
QString notFoundText(const QList<PortOpenFailure>& unopenable);

} // namespace zelvan
