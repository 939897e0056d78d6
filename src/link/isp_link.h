#pragma once

#include "isp_answer.h"
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
    int port = 0;   // 1..8, or 0 for a port named by its device
    QString device; // empty when the system has no such port
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString reason; // the system's own words
};

// The one channel to the programmer board: a serial port, the classification of what comes back
// and the wait with which every command blocks until the board has answered.
//
// Everything runs on the thread that owns the link. A wait runs a local event loop that sleeps
// until the port, a deadline or an abort wakes it, so the window stays live and no core spins.
// Several links may live on several threads, one board each.
class IspLink : public QObject {
    Q_OBJECT

public:
    explicit IspLink(QObject* parent = nullptr);
    ~IspLink() override;

    void setTiming(const LinkTiming& timing) { timing_ = timing; }
    const LinkTiming& timing() const { return timing_; }

    // Line speed applied by the next opening: "9600,n,8,1" when set, else "57600,n,8,1".
    void setBaud9600(bool on) { baud9600_ = on; }
    bool baud9600() const { return baud9600_; }

    // Closes the port if open, then opens COM<port> (1..8) with the chosen line settings.
    // The outcome is left in fgPortOpened(); a failure is described by lastOpenFailure().
    void OpenComPort(int port);
    // The same for a port named by its device ("/dev/ttyUSB0", "COM3").
    void openDevice(const QString& device);
    bool fgPortOpened() const { return fgPortOpened_; }
    bool isOpen() const { return port_.isOpen(); }
    const PortOpenFailure& lastOpenFailure() const { return lastFailure_; }
    // Line settings of the open port, as "57600,n,8,1"; empty while no port is open.
    QString lineSettings() const;
    // The port as the user named it ("COM3" or the device), for logs and messages.
    QString portLabel() const { return label_; }
    // The device of the port opened last ("/dev/ttyUSB0").
    QString deviceName() const { return device_; }

    // ---- One exchange: the record goes out, the answer is waited for and judged. The response
    // flags underneath are set by the receive handler and cleared by the wait; the flag the
    // outcome was read from is cleared again afterwards, so nothing of one exchange carries over.

    // ":" + body + checksum + CR LF; the answer starts with the echo of the record.
    IspAnswer exchangeRecord(const QString& body);
    // A firmware page in text form: ":" + body + checksum without a line end, echoed like a record.
    IspAnswer exchangeProgramRecord(const QString& body);
    // A firmware page in quick form ("Q:" and raw bytes); the board does not echo it.
    IspAnswer exchangeQuickRecord(const QString& body);
    // A board letter ("P", "S"), written alone; no echo.
    IspAnswer exchangeLetter(char letter);

    // The baud synchronisation: clears fgBaudSync and sends the first "U" (the next ones go with
    // sendMore). Any "U" that comes back from here on sets fgBaudSync.
    bool startSynchronisation();

    // ---- The pieces of an exchange, for the baud synchronisation and the tests.

    // Starts an exchange: input left over from an earlier exchange is dropped first (output that
    // has not left the port yet is kept). False when no port is open.
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

    const ResponseState& response() const { return parser_.state(); }
    // The receive handler's state, for tests that set up an earlier answer.
    ResponseState& responseForTest() { return parser_.state(); }

    // The program is closing (or was interrupted): ends any wait at once and makes later
    // exchanges fail at once.
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
    void open(int port, const QString& device);
    IspAnswer exchange(const QByteArray& bytes, const QString& echo);
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

    QSerialPort port_;
    ResponseParser parser_;
    LinkTiming timing_;
    QString label_;
    QString device_;
    bool baud9600_ = false;
    bool fgPortOpened_ = false;
    // Set once an opening has succeeded: errors before that belong to the opening, not to a
    // lost adapter.
    bool inService_ = false;
    bool aborted_ = false;
    PortOpenFailure lastFailure_;
    qint64 bytesOut_ = 0;
    qint64 bytesIn_ = 0;
};

} // namespace zelvan
