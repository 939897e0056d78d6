#include "board_group.h"

#include <QEventLoop>
#include <QThread>

#include <algorithm>

namespace zelvan {

bool StartGate::arrive(const QString& port) {
    QMutexLocker lock(&mutex_);
    if (!port.isEmpty())
        answering_.append(port);
    if (++arrived_ == boards_)
        allArrived_.wakeAll();
    while (arrived_ < boards_)
        allArrived_.wait(&mutex_);
    return answering_.size() >= wanted_;
}

QStringList StartGate::answering() const {
    QMutexLocker lock(&mutex_);
    return answering_;
}

bool SerialTurns::waitFor(int index, const StopRequest& stop) {
    QMutexLocker lock(&mutex_);
    const auto before = [this, index] {
        return std::find(finished_.begin(), finished_.begin() + index, false) != finished_.begin() + index;
    };
    while (!stop.requested() && before())
        changed_.wait(&mutex_, 100);
    return !stop.requested();
}

void SerialTurns::finish(int index) {
    QMutexLocker lock(&mutex_);
    finished_[index] = true;
    changed_.wakeAll();
}

namespace {

class TurnedSource : public SerialSource {
public:
    TurnedSource(std::shared_ptr<SerialSource> source, SerialTurns& turns, int index)
        : source_(std::move(source))
        , turns_(turns)
        , index_(index) {}
    QString check(const SerialPlace& place) override { return source_->check(place); }
    SerialTake take(const SerialPlace& place, const StopRequest* stop) override {
        if (stop && !turns_.waitFor(index_, *stop))
            return SerialTake::failed(SerialTake::Failure::Unavailable, QStringLiteral("stopped"));
        SerialTake taken = source_->take(place, stop);
        turns_.finish(index_);
        return taken;
    }
    QString describe() const override { return source_->describe(); }

private:
    std::shared_ptr<SerialSource> source_;
    SerialTurns& turns_;
    int index_;
};

} // namespace

std::shared_ptr<SerialSource> inTurn(std::shared_ptr<SerialSource> source, SerialTurns& turns, int index) {
    return std::make_shared<TurnedSource>(std::move(source), turns, index);
}

void runOnThreads(const QList<std::function<void()>>& tasks) {
    QList<QThread*> threads;
    QEventLoop loop;
    int running = static_cast<int>(tasks.size());
    for (const std::function<void()>& task : tasks) {
        QThread* thread = QThread::create(task);
        QObject::connect(thread, &QThread::finished, &loop, [&running, &loop] {
            if (--running == 0)
                loop.quit();
        });
        threads.append(thread);
    }
    for (QThread* thread : threads)
        thread->start();
    if (running > 0)
        loop.exec();
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
}

} // namespace zelvan
