#include "link_timing.h"

#include <QByteArray>
#include <QList>

namespace zelvan {

std::chrono::milliseconds answerLimitFor(const LinkTiming& timing, RecordType type) {
    switch (type) {
    case RecordType::ChipErase:
        return 4 * timing.answerLimit;
    case RecordType::GlobalCrc:
        return 2 * timing.answerLimit;
    default:
        return timing.answerLimit;
    }
}

std::optional<LinkTiming> linkTimingFromEnvironment(QString* error) {
    const QByteArray text = qgetenv("ZELVAN_LINK_TIMING_MS");
    if (text.isEmpty())
        return LinkTiming{};
    const QList<QByteArray> fields = text.split(',');
    std::chrono::milliseconds values[3];
    bool ok = fields.size() == 3;
    for (int i = 0; ok && i < 3; ++i) {
        const int value = fields[i].trimmed().toInt(&ok);
        ok = ok && value > 0;
        values[i] = std::chrono::milliseconds(value);
    }
    if (!ok) {
        *error = QStringLiteral("ZELVAN_LINK_TIMING_MS=%1 is not three positive numbers of milliseconds "
                                "(transmit,answer,sync, e.g. 5000,5000,1000)")
                     .arg(QString::fromLocal8Bit(text));
        return std::nullopt;
    }
    return LinkTiming{values[0], values[1], values[2]};
}

} // namespace zelvan
