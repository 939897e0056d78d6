#pragma once

#include "board_model.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace zelvan::sim {

// Puts a BoardModel at the far end of a pseudo-terminal: the program opens devicePath() as its
// serial port and talks to the simulated board as to a real one.
//
// The board runs on a thread of its own, so it answers whether or not the program's event loop
// is running, as a real board would. With a paced baud rate every byte takes its time on the
// line in both directions (10 bits a byte), so a measurement sees the wire time.
class PtyBoardServer {
public:
    explicit PtyBoardServer(BoardModel model);
    ~PtyBoardServer();
    PtyBoardServer(const PtyBoardServer&) = delete;
    PtyBoardServer& operator=(const PtyBoardServer&) = delete;

    // Creates the pseudo-terminal and starts answering. False (with a reason) when it cannot.
    bool start(QString* error = nullptr);
    void stop();
    // The device the program opens, "/dev/pts/N".
    QString devicePath() const { return devicePath_; }

    // Runs f on the board model while the board is held still: nothing is received or answered
    // meanwhile, so a chip can be swapped or read between two bytes on the line.
    template <typename F> auto withBoard(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(model_);
    }

    // Runs f on the board once stop() (or the destructor) has stopped a running board, e.g. to
    // keep its chip for the next run. Set it before start().
    void setOnStopped(std::function<void(const BoardModel&)> f) { onStopped_ = std::move(f); }

    // Bytes take 10 bit times each at this speed; 0 sends answers as soon as they are ready.
    void setPacedBaud(int baud) { pacedBaud_ = baud; }
    // The board stops taking bytes off the line: the program's output backs up.
    void setStopReading(bool stop);
    // The line goes away as if the adapter were pulled out: the pseudo-terminal is closed.
    void vanish();

    qint64 bytesReceived() const { return bytesIn_; }
    // When the first byte arrived (steady clock, nanoseconds since its epoch); 0 before any did.
    qint64 firstByteAtNs() const { return firstByteAtNs_; }
    qint64 bytesSent() const { return bytesOut_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        QByteArray bytes;
    };

    void run();
    void readInput(Clock::time_point now);
    void writeDue(Clock::time_point now);
    void wakeThread();
    void closeLine();

    std::mutex mutex_;
    BoardModel model_;
    QString devicePath_;
    int master_ = -1;
    int slaveKeeper_ = -1; // keeps the line up while the program has the port closed
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::thread thread_;
    std::function<void(const BoardModel&)> onStopped_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> stopReading_{false};
    std::atomic<bool> vanishRequested_{false};
    std::atomic<int> pacedBaud_{0};
    std::atomic<qint64> bytesIn_{0};
    std::atomic<qint64> firstByteAtNs_{0};
    std::atomic<qint64> bytesOut_{0};

    // Owned by the board thread.
    std::deque<Pending> output_;
    bool hangUp_ = false;
    Clock::time_point inputClock_{};
    Clock::time_point outputClock_{};
    // How late the system has been waking the board thread (a running average).
    std::chrono::nanoseconds wakeLateness_{0};
};

} // namespace zelvan::sim
