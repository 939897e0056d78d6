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

sim::PtyBoardServer& BoardRig::placeSilent(int com) {
    sim::BoardModel model = boardFor("LPC932A1");
    model.faults().silent = true;
    return place(com, std::move(model));
}

LockedPty::LockedPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0)
        qFatal("no pseudo-terminal for a locked port");
    path_ = QString::fromLocal8Bit(::ptsname(master_));
}

LockedPty::~LockedPty() {
    if (master_ >= 0)
        ::close(master_);
}

} // namespace zelvan::test
