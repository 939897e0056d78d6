#include "link_capture.h"

#include "link/wire_log.h"

#include <QMutex>
#include <QMutexLocker>

#include <cstring>

namespace zelvan {

namespace {

// Shared with the message handler, which may be called on any thread that logs.
struct Route {
    QMutex mutex;
    QStringList pending;
    LinkCapture* capture = nullptr;
    // Wire lines go on to the earlier handler too when the category was on before the capture
    // (a trace the user asked for on stderr).
    bool forwardWire = false;
    QtMessageHandler previous = nullptr;
    bool installed = false;
};

Route& route() {
    static Route shared;
    return shared;
}

void routeMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    Route& r = route();
    if (type == QtDebugMsg && context.category && std::strcmp(context.category, lcWire().categoryName()) == 0) {
        QMutexLocker lock(&r.mutex);
        if (r.capture) {
            r.pending.append(message);
            if (!r.forwardWire)
                return;
        }
    }
    if (r.previous)
        r.previous(type, context, message);
}

// The category object is a static that Qt hands out as const; switching it on and off is what
// its setEnabled is for.
QLoggingCategory& wireCategory() {
    return const_cast<QLoggingCategory&>(lcWire());
}

} // namespace

LinkCapture::LinkCapture(QObject* parent)
    : QObject(parent) {
    flushTimer_.setInterval(kFlushInterval);
    connect(&flushTimer_, &QTimer::timeout, this, &LinkCapture::flush);
}

LinkCapture::~LinkCapture() {
    setActive(false);
}

void LinkCapture::setActive(bool active) {
    if (active == active_)
        return;
    Route& r = route();
    if (active) {
        QMutexLocker lock(&r.mutex);
        if (!r.installed) {
            // Installed once and left in place: a handler installed after it keeps chaining to it.
            r.previous = qInstallMessageHandler(routeMessage);
            r.installed = true;
        }
        categoryWasOn_ = lcWire().isDebugEnabled();
        r.forwardWire = categoryWasOn_;
        r.capture = this;
        r.pending.clear();
        wireCategory().setEnabled(QtDebugMsg, true);
        flushTimer_.start();
    } else {
        wireCategory().setEnabled(QtDebugMsg, categoryWasOn_);
        flush();
        flushTimer_.stop();
        QMutexLocker lock(&r.mutex);
        if (r.capture == this)
            r.capture = nullptr;
        r.pending.clear();
    }
    active_ = active;
}

void LinkCapture::flush() {
    QStringList lines;
    {
        Route& r = route();
        QMutexLocker lock(&r.mutex);
        if (r.capture != this)
            return;
        lines.swap(r.pending);
    }
    if (!lines.isEmpty())
        emit linesArrived(lines);
}

} // namespace zelvan
