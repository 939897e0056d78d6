#include "link_timing.h"

#include <QByteArray>
#include <QList>

namespace zelvan {

LinkTiming linkTimingFromEnvironment() {
    const QList<QByteArray> fields = qgetenv("ZELVAN_LINK_TIMING_MS").split(',');
    LinkTiming timing;
    if (fields.size() != 3)
        return timing;
    std::chrono::milliseconds values[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int value = fields[i].trimmed().toInt(&ok);
        if (!ok || value < 0)
            return timing;
        values[i] = std::chrono::milliseconds(value);
    }
    return LinkTiming{values[0], values[1], values[2]};
}

} // namespace zelvan
