#include "wire_log.h"

#include "common/hex_text.h"

#include <QTime>

namespace zelvan {

Q_LOGGING_CATEGORY(lcWire, "zelvan.wire", QtWarningMsg)

QString printableBytes(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<uchar>(c);
        if (byte == '\r')
            text += QStringLiteral("<CR>");
        else if (byte == '\n')
            text += QStringLiteral("<LF>");
        else if (byte >= 0x20 && byte < 0x7F)
            text += QLatin1Char(c);
        else
            text += QLatin1Char('<') + strDecToHex8(byte) + QLatin1Char('>');
    }
    return text;
}

void logWire(const QString& port, bool toBoard, QByteArrayView bytes) {
    if (!lcWire().isDebugEnabled())
        return;
    qCDebug(lcWire).noquote() << QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) << port
                              << (toBoard ? "->" : "<-") << printableBytes(bytes);
}

void logNote(const QString& port, const QString& text) {
    if (!lcWire().isDebugEnabled())
        return;
    qCDebug(lcWire).noquote() << QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) << port << "note:"
                              << text;
}

} // namespace zelvan
