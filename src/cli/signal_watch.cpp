#include "signal_watch.h"

#include "exit_status.h"

#include <QSocketNotifier>
#include <QTimer>

#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zelvan::cli {

namespace {

#ifdef Q_OS_UNIX
int gPipe[2] = {-1, -1};

extern "C" void onStopSignal(int signal) {
    const char number = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(gPipe[1], &number, 1);
}
#else
volatile std::sig_atomic_t gSignal = 0;

extern "C" void onStopSignal(int signal) {
    gSignal = signal;
}
// Without a pipe to wake the event loop, the flag is looked at this often.
constexpr std::chrono::milliseconds kSignalPoll{50};
#endif

int exitStatusFor(int signal) {
    return signal == SIGTERM ? kTerminated : kInterrupted;
}

} // namespace

SignalWatch::SignalWatch(QObject* parent)
    : QObject(parent) {
#ifdef Q_OS_UNIX
    if (::pipe(gPipe) != 0)
        return;
    ::fcntl(gPipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(gPipe[1], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char number = 0;
        while (::read(gPipe[0], &number, 1) == 1)
            emit stopRequested(exitStatusFor(number));
    });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
#else
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        if (const int signal = gSignal) {
            gSignal = 0;
            emit stopRequested(exitStatusFor(signal));
        }
    });
    timer->start(kSignalPoll);
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
#endif
}

SignalWatch::~SignalWatch() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

} // namespace zelvan::cli
