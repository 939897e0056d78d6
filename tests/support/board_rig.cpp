#include "board_rig.h"

#include "device/device_catalogue.h"

#include <QtTest>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace zelvan::test {

using namespace std::chrono_literals;

LinkTiming fastTiming() {
    return LinkTiming{300ms, 300ms, 150ms};
}

sim::BoardModel boardFor(const char* partName) {
    const CatalogueEntry* part = findPartByName(QString::fromLatin1(partName));
    if (!part)
        qFatal("no catalogue part %s", partName);
    return sim::BoardModel::forPart(*part);
}

BoardRig::BoardRig() {
    for (int com = 1; com <= kPortCount; ++com)
        makeMissing(com);
}

BoardRig::~BoardRig() {
    for (int com = 1; com <= kPortCount; ++com)
        makeMissing(com);
    if (lockedPty_ >= 0)
        ::close(lockedPty_);
}

void BoardRig::makeMissing(int com) {
    boards_[static_cast<size_t>(com - 1)].reset();
    qputenv(QByteArray("ZELVAN_COM") + QByteArray::number(com),
            "/nonexistent/zelvan-test-com" + QByteArray::number(com));
}

sim::PtyBoardServer& BoardRig::place(int com, sim::BoardModel model) {
    auto server = std::make_unique<sim::PtyBoardServer>(std::move(model));
    QString error;
    if (!server->start(&error))
        qFatal("simulated board: %s", qPrintable(error));
    qputenv(QByteArray("ZELVAN_COM") + QByteArray::number(com), server->devicePath().toLocal8Bit());
    boards_[static_cast<size_t>(com - 1)] = std::move(server);
    return *boards_[static_cast<size_t>(com - 1)];
}

void BoardRig::placeAll(const QStringList& ports) {
    for (int com = 1; com <= ports.size(); ++com) {
        const QString& port = ports[com - 1];
        if (port == QLatin1String("locked")) {
            if (lockedPty_ < 0 && ((lockedPty_ = ::posix_openpt(O_RDWR | O_NOCTTY)) < 0 || ::grantpt(lockedPty_) != 0))
                qFatal("no pseudo-terminal for a locked port");
            qputenv(QByteArray("ZELVAN_COM") + QByteArray::number(com), ::ptsname(lockedPty_));
        } else if (port == QLatin1String("FF")) {
            place(com, sim::BoardModel({0xFF, 0xFF, 0xFF}, DeviceGeometry{16383, 1024, 16, 0}));
        } else if (!port.isEmpty()) {
            const bool mute = port == QLatin1String("mute"), silent = port == QLatin1String("silent");
            sim::BoardModel model = boardFor(mute || silent ? "LPC932A1" : qPrintable(port));
            model.faults().noVersion = mute;
            model.faults().silent = silent;
            place(com, std::move(model));
        }
    }
}

} // namespace zelvan::test
