#pragma once

#include "common/stop_request.h"
#include "production/serial_numbers.h"

#include <QList>
#include <QMutex>
#include <QStringList>
#include <QWaitCondition>

#include <functional>
#include <memory>

namespace zelvan {

// Boards that run one command together, each on a thread of its own.

// The boards start their work together once each has answered the connection or failed it: a
// group that has lost a board stops before anything is written to any chip.
class StartGate {
public:
    StartGate(int boards, int wanted)
        : boards_(boards)
        , wanted_(wanted) {}
    // A board answered (port) or did not (empty); waits for the others, then tells whether the run
    // goes on: at least wanted boards answered.
    bool arrive(const QString& port);
    QStringList answering() const;

private:
    mutable QMutex mutex_;
    QWaitCondition allArrived_;
    int boards_;
    int wanted_;
    int arrived_ = 0;
    QStringList answering_;
};

// Serial numbers in the order of the boards: a board takes its number once every board before it
// has taken one or ended without.
class SerialTurns {
public:
    explicit SerialTurns(int boards)
        : finished_(boards, false) {}
    // Waits (sleeping) for the boards before index; false when the stop was asked meanwhile.
    bool waitFor(int index, const StopRequest& stop);
    // The board at index has its number, or will take none.
    void finish(int index);

private:
    QMutex mutex_;
    QWaitCondition changed_;
    QList<bool> finished_;
};

// The source of the board at index: it gives the board its number in its turn.
std::shared_ptr<SerialSource> inTurn(std::shared_ptr<SerialSource> source, SerialTurns& turns, int index);

// Runs every task on a thread of its own and returns when all have ended; the calling thread runs
// its event loop meanwhile (signals, such as a stop request, reach it).
void runOnThreads(const QList<std::function<void()>>& tasks);

} // namespace zelvan
