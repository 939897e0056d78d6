#include "isp_link.h"

#include "port_names.h"
#include "records.h"

#include <QCoreApplication>
#include <QTimer>

namespace zelvan {

IspLink::IspLink(QObject* parent)
    : QObject(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &IspLink::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &IspLink::onError);
}

IspLink::~IspLink() {
    abort();
    if (port_.isOpen())
        port_.close();
}

void IspLink::OpenComPort(int port) {
    fgPortOpened_ = true;
    lastFailure_ = PortOpenFailure{port, QString(), QSerialPort::NoError, QString()};
    if (port_.isOpen())
        port_.close();

    const QString device = comDeviceName(port);
    lastFailure_.device = device;
    if (aborted_ || device.isEmpty()) {
        fgPortOpened_ = false;
        lastFailure_.error = QSerialPort::DeviceNotFoundError;
        lastFailure_.reason =
            aborted_ ? tr("the program is closing") : tr("the system has no serial port COM%1").arg(port);
        return;
    }
    port_.setPortName(device);
    port_.setBaudRate(baud9600_ ? QSerialPort::Baud9600 : QSerialPort::Baud57600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        fgPortOpened_ = false;
        lastFailure_.error = port_.error();
        lastFailure_.reason = port_.errorString();
        port_.clearError();
        return;
    }
    emit portOpened(port, device);
}

QString IspLink::lineSettings() const {
    if (!port_.isOpen())
        return QString();
    return QStringLiteral("%1,n,8,1").arg(port_.baudRate());
}

bool IspLink::send(const QByteArray& bytes) {
    if (!port_.isOpen() || aborted_)
        return false;
    // Drop what is left of an earlier exchange: a late answer, or the tail of one that timed
    // out, would otherwise be read as the answer to this record; and output that never left
    // would reach the board after this record and be carried out long after its command failed.
    port_.clear(QSerialPort::AllDirections);
    if (port_.bytesAvailable() > 0)
        bytesIn_ += port_.readAll().size();
    parser_.state().strRxBuffer.clear();
    return sendMore(bytes);
}

bool IspLink::sendMore(const QByteArray& bytes) {
    if (!port_.isOpen() || aborted_)
        return false;
    const qint64 written = port_.write(bytes);
    if (written < 0)
        return false;
    // Hand the bytes to the driver now rather than on the next turn of the event loop: the
    // record is on its way before the wait starts.
    port_.flush();
    bytesOut_ += written;
    return written == bytes.size();
}

bool IspLink::sendRecord(const QString& body) {
    return send(terminatedRecord(body));
}

void IspLink::WaitResponse() {
    ResponseState& state = parser_.state();
    state.fgResponseOK = false;
    state.fgResponseErr = false;
    if (!port_.isOpen() || aborted_) {
        processEventsOnce();
        return;
    }
    // Usually the record has already gone to the driver; only a line that does not drain makes
    // the transmit phase wait.
    if (port_.bytesToWrite() > 0) {
        const std::function<bool()> sent = [this] { return port_.bytesToWrite() == 0; };
        waitUntil(sent, timing_.transmitLimit);
        // A record that could not leave in time is given up, not left to trickle out later.
        if (port_.isOpen() && port_.bytesToWrite() > 0)
            port_.clear(QSerialPort::Output);
    }
    const std::function<bool()> answered = [&state] { return state.fgResponseOK || state.fgResponseErr; };
    waitUntil(answered, timing_.answerLimit);
}

void IspLink::processEventsOnce() {
    QCoreApplication::processEvents();
}

void IspLink::processEventsFor(std::chrono::milliseconds duration, const std::function<bool()>& stopWhen) {
    const std::function<bool()> never = [] { return false; };
    waitUntil(stopWhen ? stopWhen : never, duration);
}

void IspLink::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    // A wait that has nothing to wait for still lets pending events run once, so the window
    // stays live however fast the board answers.
    if (done() || aborted_ || !port_.isOpen() || limit.count() <= 0) {
        processEventsOnce();
        return;
    }
    // Sleep in the event dispatcher until something happens (bytes arrive, the deadline passes,
    // the user clicks), then look again. Nothing spins, and every event is handled in between.
    bool expired = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    connect(&deadline, &QTimer::timeout, this, [&expired] { expired = true; });
    deadline.start(limit);
    while (!expired && !done() && !aborted_ && port_.isOpen())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void IspLink::onReadyRead() {
    const QByteArray received = port_.readAll();
    bytesIn_ += received.size();
    parser_.comSerial_OnComm(received);
}

void IspLink::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    // The device went away under an open port (USB adapter pulled out). Qt reports that as a
    // resource error, or on a line that hung up as a read error that repeats for as long as the
    // port stays open. Close it so that every later exchange fails at once, and end the wait in
    // progress as "no answer".
    const QString reason = port_.errorString();
    port_.clearError();
    if (port_.isOpen())
        port_.close();
    emit portLost(reason);
}

void IspLink::abort() {
    aborted_ = true;
    if (port_.isOpen())
        port_.clear(QSerialPort::Output);
}

} // namespace zelvan
