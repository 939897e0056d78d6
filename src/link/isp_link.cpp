#include "isp_link.h"

#include "port_names.h"
#include "records.h"
#include "wire_log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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

bool IspLink::OpenComPort(int port) {
    return open(port, comDeviceName(port));
}

bool IspLink::openDevice(const QString& device) {
    return open(0, device);
}

bool IspLink::open(int port, const QString& device) {
    fgPortOpened_ = true;
    inService_ = false;
    lastFailure_ = PortOpenFailure{port, device, QSerialPort::NoError, QString()};
    label_ = port > 0 ? QStringLiteral("COM%1").arg(port) : device;
    device_ = device;
    if (port_.isOpen())
        port_.close();

    if (aborted_ || device.isEmpty()) {
        fgPortOpened_ = false;
        lastFailure_.error = QSerialPort::DeviceNotFoundError;
        lastFailure_.reason =
            aborted_ ? tr("the program is closing") : tr("the system has no serial port COM%1").arg(port);
        return false;
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
        return false;
    }
    inService_ = true;
    emit portOpened(port, device);
    return true;
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
    // out, is not the answer to this record.
    port_.clear(QSerialPort::Input);
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
    logWire(label_, true, bytes);
    // Hand the bytes to the driver now rather than on the next turn of the event loop: the
    // record is on its way before the wait starts.
    port_.flush();
    bytesOut_ += written;
    return written == bytes.size();
}

bool IspLink::synchronise(const std::function<void(Led)>& indicate) {
    const auto show = [&indicate](Led led) {
        if (indicate)
            indicate(led);
    };
    // The port already runs at the chosen speed; the board measures its speed on these letters.
    // The first one starts the exchange (stale input dropped), the next two follow it.
    parser_.state().fgBaudSync = false;
    show(Led::Yellow);
    send("U");
    processEventsOnce();
    show(Led::DarkYellow);
    sendMore("U");
    processEventsOnce();
    show(Led::Yellow);
    sendMore("U");
    processEventsOnce();
    show(Led::DarkYellow);
    processEventsFor(timing_.syncWindow);
    if (lcWireTiming().isDebugEnabled())
        logTiming(label_, QStringLiteral("synchronisation window of %1 ms: %2")
                              .arg(timing_.syncWindow.count())
                              .arg(parser_.state().fgBaudSync ? QStringLiteral("a \"U\" came back")
                                                              : QStringLiteral("no \"U\" came back")));
    return parser_.state().fgBaudSync;
}

namespace {

// The record type of a record body (LL AAAA TT ...), for its answer limit.
RecordType typeOfBody(const QString& body) {
    return static_cast<RecordType>(body.mid(6, 2).toUInt(nullptr, 16));
}

} // namespace

IspAnswer IspLink::exchange(const QByteArray& bytes, const QString& echo, std::chrono::milliseconds answerLimit) {
    QElapsedTimer clock;
    clock.start();
    parser_.expectEcho(echo);
    send(bytes);
    WaitResponse(answerLimit);
    parser_.expectEcho(QString());

    ResponseState& state = parser_.state();
    IspAnswer answer;
    answer.fullStop = state.fgResponseOK;
    answer.outcome = state.fgResponseErr  ? Outcome::Refused
                     : state.fgResponseOK ? Outcome::Acknowledged
                                          : Outcome::NoAnswer;
    if (state.fgResponseOK)
        answer.text = state.answerText;
    else if (state.fgResponseErr)
        answer.text = state.strRxBuffer;
    answer.echoLength = answer.text.startsWith(echo) ? echo.size() : 0;
    // The flag the outcome was read from is cleared; an "X" next to a "." leaves the "." set, as
    // a caller that reads the flags in their order would leave it.
    if (answer.outcome == Outcome::Refused)
        state.fgResponseErr = false;
    else if (answer.outcome == Outcome::Acknowledged)
        state.fgResponseOK = false;
    if (lcWireTiming().isDebugEnabled())
        logTiming(label_, QStringLiteral("%1 bytes out, %2 after %3 ms (limit %4 ms)")
                              .arg(bytes.size())
                              .arg(answer.outcome == Outcome::Acknowledged ? QStringLiteral("answered")
                                   : answer.outcome == Outcome::Refused    ? QStringLiteral("refused")
                                                                           : QStringLiteral("no answer"))
                              .arg(clock.nsecsElapsed() / 1e6, 0, 'f', 1)
                              .arg(answerLimit.count()));
    return answer;
}

IspAnswer IspLink::exchangeRecord(const QString& body) {
    return exchange(terminatedRecord(body), strAddChecksum(body), answerLimitFor(timing_, typeOfBody(body)));
}

IspAnswer IspLink::exchangeProgramRecord(const QString& body) {
    return exchange(unterminatedRecord(body), strAddChecksum(body), timing_.answerLimit);
}

IspAnswer IspLink::exchangeQuickRecord(const QString& body) {
    return exchange(quickRecord(body), QString(), timing_.answerLimit);
}

IspAnswer IspLink::exchangeLetter(char letter) {
    return exchange(QByteArray(1, letter), QString(), timing_.answerLimit);
}

void IspLink::WaitResponse(std::chrono::milliseconds answerLimit) {
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
        // A record that could not leave in time is given up, not left to trickle out later and be
        // carried out long after its command was reported as failed.
        if (port_.isOpen() && port_.bytesToWrite() > 0)
            port_.clear(QSerialPort::Output);
    }
    const std::function<bool()> answered = [&state] { return state.fgResponseOK || state.fgResponseErr; };
    waitUntil(answered, answerLimit);
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
    logWire(label_, false, received);
    parser_.comSerial_OnComm(received);
}

void IspLink::onError(QSerialPort::SerialPortError error) {
    // An opening that fails reports its error here too; it is the opening's to tell, with the
    // system's reason, and no adapter was lost.
    if (!inService_)
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    // The device went away under an open port (USB adapter pulled out). Qt reports that as a
    // resource error, or on a line that hung up as a read error that repeats for as long as the
    // port stays open. Close it so that every later exchange fails at once, and end the wait in
    // progress as "no answer".
    inService_ = false;
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
