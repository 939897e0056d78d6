#pragma once

#include "link/isp_link.h"

#include <QString>

namespace zelvan {

// "Error opening COM n", and on a second line what went wrong, with the way out when it is a
// permission problem (membership of the group that owns the device).
QString portOpenErrorText(const PortOpenFailure& failure);

} // namespace zelvan
