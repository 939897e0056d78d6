#include "connected_target.h"

namespace zelvan::test {

ConnectedTarget::ConnectedTarget(const char* part, Start start) {
    session.link().setTiming(fastTiming());
    if (start == Start::NoBoard)
        return;
    board = &rig.place(1, boardFor(part));
    if (start == Start::Identified)
        session.click(Command::AutoConnect);
    else
        session.chooseComPort(1);
    forget();
}

void ConnectedTarget::loadFirmware(const QString& path) {
    dialogs.fileAnswers.append(path);
    if (!session.click(Command::LoadFirmware))
        qFatal("Load Firmware is not available");
}

void ConnectedTarget::forget() {
    if (board)
        clearReceived(*board);
    dialogs.clear();
    record.clear();
}

QStringList ConnectedTarget::sent() {
    return received(*board);
}

void ConnectedTarget::addRule(const sim::FaultRule& rule) {
    board->withBoard([&rule](sim::BoardModel& model) { model.faults().rules.push_back(rule); });
}

QByteArray ConnectedTarget::flash() {
    return flashOf(*board);
}

QByteArray ConnectedTarget::bootloader() {
    return board->withBoard([](sim::BoardModel& model) { return model.bootloaderImage(); });
}

std::optional<quint8> ConnectedTarget::config(int address) {
    return board->withBoard([address](sim::BoardModel& model) { return model.configByte(address); });
}

void ConnectedTarget::setConfig(int address, quint8 value) {
    board->withBoard([=](sim::BoardModel& model) { model.setConfigByte(address, value); });
}

} // namespace zelvan::test
