#pragma once

#include "link_timing.h"
#include "response_parser.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

#include <chrono>
#include <functional>

namespace zelvan {

// Why the last port opening failed, for the message the user gets.
struct PortOpenFailure {
    int port = 0;
    QString device; // empty when the system has no such port
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString reason; // the system's own words
};

// The one channel to the programmer board: a serial port, the classification of what comes back
// and the wait with which every command blocks until the board has answered.
//
// Everything runs on the thread that owns the link. A wait runs a local event loop that sleeps
// until the port, a deadline or an abort wakes it, so the window stays live and no core spins.
class IspLink : public QObject {
    Q_OBJECT

public:
    explicit IspLink(QObject* parent = nullptr);
    ~IspLink() override;

    void setTiming(const LinkTiming& timing) { timing_ = timing; }
    const LinkTiming& timing() const { return timing_; }

    // Line speed applied by the next OpenComPort: "9600,n,8,1" when set, else "57600,n,8,1".
    void setBaud9600(bool on) { baud9600_ = on; }
    bool baud9600() const { return baud9600_; }

    // Closes the port if open, then opens COM<port> (1..8) with the chosen line settings.
    // The outcome is left in fgPortOpened(); a failure is described by lastOpenFailure().
    void OpenComPort(int port);
    bool fgPortOpened() const { return fgPortOpened_; }
    bool isOpen() const { return port_.isOpen(); }
    const PortOpenFailure& lastOpenFailure() const { return lastFailure_; }
    // Line settings of the open port, as "57600,n,8,1"; empty while no port is open.
    QString lineSettings() const;

    // Starts an exchange: input left over from an earlier exchange is dropped first, so that a
    // late answer is never taken for the answer to this one. False when no port is open.
    bool send(const QByteArray& bytes);
    // Writes more of the exchange already started (the second and third synchronisation "U"),
    // keeping whatever has arrived meanwhile.
    bool sendMore(const QByteArray& bytes);
    // ":" + body + checksum + CR LF.
    bool sendRecord(const QString& body);

    // Clears both response flags, waits until the written bytes have left the port (transmit
    // limit), then until "." or "X"/"R" arrives (answer limit). With no open port, or once the
    // link is aborted, it returns at once: "no answer".
    void WaitResponse();

    // Lets pending events run once.
    void processEventsOnce();
    // Lets events run for the given time; ends early when stopWhen() becomes true.
    void processEventsFor(std::chrono::milliseconds duration, const std::function<bool()>& stopWhen = {});

    ResponseState& response() { return parser_.state(); }
    const ResponseState& response() const { return parser_.state(); }

    // The program is closing: ends any wait at once and makes later exchanges fail at once.
    void abort();
    bool aborted() const { return aborted_; }

    // Bytes written to and read from the port since it was created (for measurements).
    qint64 bytesWrittenTotal() const { return bytesOut_; }
    qint64 bytesReadTotal() const { return bytesIn_; }

signals:
    // A port was opened (Auto Connect opens the port it finds a second time, from the port menu).
    void portOpened(int port, const QString& device);
    // The open port went away (a USB adapter pulled out); it has been closed.
    void portLost(const QString& reason);

private:
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

    QSerialPort port_;
    ResponseParser parser_;
    LinkTiming timing_;
    bool baud9600_ = false;
    bool fgPortOpened_ = false;
    bool aborted_ = false;
    PortOpenFailure lastFailure_;
    qint64 bytesOut_ = 0;
    qint64 bytesIn_ = 0;
};

} // namespace zelvan
