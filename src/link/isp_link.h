#pragma once

#include "common/led.h"
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

    // Closes the port if open, then opens COM<port> (1..8) with the chosen line settings. True when
    // it opened; otherwise lastOpenFailure() says why.
    bool OpenComPort(int port);
    // The same for a port named by its device ("/dev/ttyUSB0", "COM3").
    bool openDevice(const QString& device);
    bool fgPortOpened() const { return fgPortOpened_; }
    bool isOpen() const { return port_.isOpen(); }
    const PortOpenFailure& lastOpenFailure() const { return lastFailure_; }
    // Line settings of the open port, as "57600,n,8,1"; empty while no port is open.
    QString lineSettings() const;
    // The port as the user named it ("COM3" or the device), for logs and messages.
    QString portLabel() const { return label_; }
    // The device of the port opened last ("/dev/ttyUSB0").
    QString deviceName() const { return device_; }

    // The baud synchronisation: three "U" for the board to lock onto the port's speed, then the
    // whole synchronisation window, even once a "U" is back (a board may need all three letters,
    // and the next record must not follow them before it has had its time). indicate, when given,
    // is told the indicator colour before each letter and after the last one. True when a "U"
    // came back.
    bool synchronise(const std::function<void(Led)>& indicate = {});

    // ---- One exchange: the record goes out, the answer is waited for and judged. The answer
    // limit is that of the record's type (link_timing.h).

    // ":" + body + checksum + CR LF; the answer starts with the echo of the record.
    IspAnswer exchangeRecord(const QString& body);
    // A firmware page in text form: ":" + body + checksum without a line end, echoed like a record.
    IspAnswer exchangeProgramRecord(const QString& body);
    // A firmware page in quick form ("Q:" and raw bytes); the board does not echo it.
    IspAnswer exchangeQuickRecord(const QString& body);
    // A board letter ("P", "S"), written alone; no echo.
    IspAnswer exchangeLetter(char letter);

    // Lets pending events run once.
    void processEventsOnce();
    // Lets events run for the given time; ends early when stopWhen() becomes true.
    void processEventsFor(std::chrono::milliseconds duration, const std::function<bool()>& stopWhen = {});

    // Answers to earlier records that arrived late, were recognised by their echo and dropped.
    int lateAnswersDropped() const { return parser_.state().lateAnswersDropped; }

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
    bool open(int port, const QString& device);
    IspAnswer exchange(const QByteArray& bytes, const QString& echo, std::chrono::milliseconds answerLimit);
    // Starts an exchange: input left over from an earlier exchange is dropped first (output that
    // has not left the port yet is kept: it may be the last synchronisation "U"). False when no
    // port is open.
    bool send(const QByteArray& bytes);
    // Writes more of the exchange already started, keeping whatever has arrived meanwhile.
    bool sendMore(const QByteArray& bytes);
    // Clears both response flags, waits until the written bytes have left the port (transmit
    // limit), then until "." or "X"/"R" arrives (answerLimit). With no open port, or once the
    // link is aborted, it returns at once: "no answer".
    void WaitResponse(std::chrono::milliseconds answerLimit);
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
