#include "cli_runner.h"

#include <QDeadlineTimer>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace zelvan::test {

namespace {

constexpr std::chrono::minutes kRunLimit{1};

CliRun finish(QProcess& process) {
    if (process.state() != QProcess::NotRunning &&
        !process.waitForFinished(int(std::chrono::milliseconds(kRunLimit).count())))
        qFatal("zelvan-cli did not end: %s", qPrintable(process.arguments().join(' ')));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

CliRun runCli(const QStringList& arguments, const std::function<void(QProcess&)>& whileRunning) {
    QProcess process;
    process.start(QStringLiteral(ZELVAN_CLI), arguments);
    if (!process.waitForStarted())
        qFatal("zelvan-cli did not start");
    if (whileRunning)
        whileRunning(process);
    return finish(process);
}

CliRun runCliOnTerminal(const QStringList& arguments) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        qFatal("no pseudo-terminal");
    const QByteArray slavePath = ::ptsname(master);
    QProcess process;
    process.setChildProcessModifier([slavePath] { ::dup2(::open(slavePath.constData(), O_RDWR | O_NOCTTY), 2); });
    process.start(QStringLiteral(ZELVAN_CLI), arguments);
    // Read the terminal while the child runs, so that it never blocks on a full terminal.
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    QByteArray terminal;
    const auto drain = [&] {
        char buffer[4096];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, got);
    };
    for (const QDeadlineTimer deadline(kRunLimit); !process.waitForFinished(20) && !deadline.hasExpired();)
        drain();
    CliRun run = finish(process);
    drain();
    ::close(master);
    run.err = QString::fromLocal8Bit(terminal);
    return run;
}

} // namespace zelvan::test
