#include "wire_log_output.h"

#include "link/wire_log.h"

#include <QFile>
#include <QMutex>

#include <cstdio>

namespace zelvan::cli {

namespace {

QMutex gMutex;
bool gToStderr = false;
QFile* gFile = nullptr;
QtMessageHandler gPrevious = nullptr;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (context.category && qstrcmp(context.category, lcWire().categoryName()) == 0) {
        const QByteArray line = message.toLocal8Bit() + '\n';
        QMutexLocker lock(&gMutex);
        if (gToStderr) {
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
            std::fflush(stderr);
        }
        if (gFile) {
            gFile->write(line);
            gFile->flush();
        }
        return;
    }
    if (gPrevious)
        gPrevious(type, context, message);
}

} // namespace

bool startWireLog(bool toStderr, const QString& file, QString* error) {
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
    gPrevious = qInstallMessageHandler(handler);
    QLoggingCategory::setFilterRules(QStringLiteral("zelvan.wire.debug=true"));
    return true;
}

} // namespace zelvan::cli
