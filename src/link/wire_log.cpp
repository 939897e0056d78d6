#include "wire_log.h"

#include "common/hex_text.h"

#include <QFile>
#include <QMutex>
#include <QTime>

#include <cstdio>

namespace zelvan {

Q_LOGGING_CATEGORY(lcWire, "zelvan.wire", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWireTiming, "zelvan.wire.timing", QtWarningMsg)

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

void logTiming(const QString& port, const QString& text) {
    if (!lcWireTiming().isDebugEnabled())
        return;
    qCDebug(lcWireTiming).noquote() << QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) << port
                                    << "timing:" << text;
}

void logNote(const QString& port, const QString& text) {
    if (!lcWire().isDebugEnabled())
        return;
    qCDebug(lcWire).noquote() << QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz")) << port
                              << "note:" << text;
}

namespace {

// Where routeWireLog sends the wire log's lines.
QMutex gRouteMutex;
bool gToStderr = false;
QFile* gFile = nullptr;
QtMessageHandler gPrevious = nullptr;

void routeLine(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!context.category || (qstrcmp(context.category, lcWire().categoryName()) != 0 &&
                              qstrcmp(context.category, lcWireTiming().categoryName()) != 0)) {
        if (gPrevious)
            gPrevious(type, context, message);
        return;
    }
    const QByteArray line = message.toLocal8Bit() + '\n';
    QMutexLocker lock(&gRouteMutex);
    if (gToStderr) {
        std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
        std::fflush(stderr);
    }
    if (gFile) {
        gFile->write(line);
        gFile->flush();
    }
}

} // namespace

bool routeWireLog(bool toStderr, const QString& file, bool timing, QString* error) {
    if (!toStderr && file.isEmpty())
        return true;
    if (!file.isEmpty()) {
        // Kept open until the program ends: the log is flushed line by line.
        static QFile logFile;
        logFile.setFileName(file);
        if (!logFile.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
            *error = QStringLiteral("--wire-log %1: %2").arg(file, logFile.errorString());
            return false;
        }
        gFile = &logFile;
    }
    gToStderr = toStderr;
    gPrevious = qInstallMessageHandler(routeLine);
    QLoggingCategory::setFilterRules(timing ? QStringLiteral("zelvan.wire.debug=true\nzelvan.wire.timing.debug=true")
                                            : QStringLiteral("zelvan.wire.debug=true"));
    return true;
}

} // namespace zelvan
