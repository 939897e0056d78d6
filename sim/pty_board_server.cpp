#include "pty_board_server.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace zelvan::sim {

namespace {

using namespace std::chrono;

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

// Waits for the descriptors or the timeout, with sub-millisecond precision where available.
int pollFor(pollfd* fds, nfds_t count, std::optional<nanoseconds> timeout) {
#ifdef __linux__
    timespec ts{};
    if (timeout) {
        ts.tv_sec = static_cast<time_t>(duration_cast<seconds>(*timeout).count());
        ts.tv_nsec = static_cast<long>((*timeout - seconds(ts.tv_sec)).count());
    }
    return ::ppoll(fds, count, timeout ? &ts : nullptr, nullptr);
#else
    const int ms = timeout ? static_cast<int>(ceil<milliseconds>(*timeout).count()) : -1;
    return ::poll(fds, count, ms);
#endif
}

} // namespace

PtyBoardServer::PtyBoardServer(BoardModel model)
    : model_(std::move(model)) {}

PtyBoardServer::~PtyBoardServer() {
    stop();
}

bool PtyBoardServer::start(QString* error) {
    const auto fail = [&](const char* what) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        closeLine();
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail("grantpt/unlockpt");
    const char* name = ::ptsname(master_);
    if (!name)
        return fail("ptsname");
    devicePath_ = QString::fromLocal8Bit(name);

    // Holding the other end open keeps the line up between the program's openings (a pseudo-
    // terminal with no one on it hangs up). Raw mode: no echo, no line-end translation.
    slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY);
    if (slaveKeeper_ < 0)
        return fail("open slave");
    termios tio{};
    if (::tcgetattr(slaveKeeper_, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slaveKeeper_, TCSANOW, &tio);
    }
    setNonBlocking(master_);

    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return fail("pipe");
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    setNonBlocking(wakeRead_);
    setNonBlocking(wakeWrite_);

    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void PtyBoardServer::stop() {
    if (thread_.joinable()) {
        stopping_ = true;
        wakeThread();
        thread_.join();
        if (onStopped_) {
            std::lock_guard<std::mutex> lock(mutex_);
            onStopped_(model_);
        }
    }
    closeLine();
    if (wakeRead_ >= 0)
        ::close(wakeRead_);
    if (wakeWrite_ >= 0)
        ::close(wakeWrite_);
    wakeRead_ = wakeWrite_ = -1;
}

void PtyBoardServer::closeLine() {
    if (master_ >= 0)
        ::close(master_);
    if (slaveKeeper_ >= 0)
        ::close(slaveKeeper_);
    master_ = slaveKeeper_ = -1;
}

void PtyBoardServer::setStopReading(bool stop) {
    stopReading_ = stop;
    wakeThread();
}

void PtyBoardServer::vanish() {
    vanishRequested_ = true;
    wakeThread();
}

void PtyBoardServer::wakeThread() {
    if (wakeWrite_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeWrite_, &byte, 1);
    }
}

void PtyBoardServer::run() {
#ifdef __linux__
    // A paced answer is due at an exact time; the default timer slack would let it come late.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
#endif
    while (!stopping_) {
        if (vanishRequested_.exchange(false)) {
            closeLine();
            output_.clear();
        }
        const Clock::time_point now = Clock::now();
        writeDue(now);
        // A board that died goes off the line once its last answer has left.
        if (master_ >= 0 && output_.empty() && hangUp_) {
            closeLine();
            continue;
        }

        // Sleep until the next answer is due; an answer that is due already is waiting for room
        // on the line (POLLOUT below). The system wakes a sleeper late by some tens of
        // microseconds; waking early by the lateness seen so far puts the answers on time on
        // average, which matters when every byte is paced.
        std::optional<nanoseconds> timeout;
        Clock::time_point wakeAt{};
        if (!output_.empty() && output_.front().due > now + wakeLateness_) {
            wakeAt = output_.front().due - wakeLateness_;
            timeout = duration_cast<nanoseconds>(wakeAt - now);
        }

        pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {master_, 0, 0}};
        nfds_t count = 1;
        if (master_ >= 0) {
            fds[1].events =
                static_cast<short>((stopReading_ ? 0 : POLLIN) |
                                   (!output_.empty() && output_.front().due <= now + wakeLateness_ ? POLLOUT : 0));
            count = 2;
        }
        const int ready = pollFor(fds, count, timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (ready == 0 && timeout) {
            const nanoseconds late = std::max(nanoseconds(0), duration_cast<nanoseconds>(Clock::now() - wakeAt));
            wakeLateness_ = std::min(wakeLateness_ + (late - wakeLateness_) / 8, nanoseconds(milliseconds(1)));
        }
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (count == 2 && (fds[1].revents & POLLIN) && !stopReading_)
            readInput(Clock::now());
    }
}

void PtyBoardServer::readInput(Clock::time_point now) {
    char buffer[4096];
    const ssize_t got = ::read(master_, buffer, sizeof buffer);
    if (got <= 0)
        return;
    bytesIn_ += got;
    if (firstByteAtNs_ == 0)
        firstByteAtNs_ = std::chrono::duration_cast<nanoseconds>(now.time_since_epoch()).count();

    const int baud = pacedBaud_;
    const nanoseconds byteTime = baud > 0 ? nanoseconds(10'000'000'000LL / baud) : nanoseconds(0);
    // The program wrote the bytes at once; on the line they follow one another, each a byte time
    // after the last, starting no earlier than now.
    inputClock_ = std::max(inputClock_, now);
    std::lock_guard<std::mutex> lock(mutex_);
    for (ssize_t i = 0; i < got; ++i) {
        inputClock_ += byteTime;
        const std::optional<Reply> reply = model_.receive(buffer[i]);
        if (!reply)
            continue;
        const Clock::time_point ready = inputClock_ + reply->busy;
        const Clock::time_point begin = std::max(ready, outputClock_);
        outputClock_ = begin + byteTime * reply->bytes.size();
        if (!reply->bytes.isEmpty())
            output_.push_back({outputClock_, reply->bytes});
    }
    hangUp_ = model_.hungUp();
}

void PtyBoardServer::writeDue(Clock::time_point now) {
    while (master_ >= 0 && !output_.empty() && output_.front().due <= now + wakeLateness_) {
        Pending& front = output_.front();
        const ssize_t written = ::write(master_, front.bytes.constData(), static_cast<size_t>(front.bytes.size()));
        if (written < 0)
            return; // the line is full: try again when it drains
        bytesOut_ += written;
        if (written < front.bytes.size()) {
            front.bytes.remove(0, written);
            return;
        }
        output_.pop_front();
    }
}

} // namespace zelvan::sim
