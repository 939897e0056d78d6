#include "cli_runner.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <unistd.h>

namespace zelvan::test {

namespace {

constexpr int kRunLimitMs = 60000;

CliRun finish(QProcess& process, QElapsedTimer& clock) {
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(kRunLimitMs))
        qFatal("zelvan-cli did not end: %s", qPrintable(process.arguments().join(' ')));
    CliRun run;
    run.milliseconds = clock.elapsed();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err += QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

} // namespace

CliRun runCli(const QStringList& arguments, const std::function<void(QProcess&)>& whileRunning) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(ZELVAN_CLI), arguments);
    if (!process.waitForStarted())
        qFatal("zelvan-cli did not start");
    if (whileRunning)
        whileRunning(process);
    return finish(process, clock);
}

CliRun runCliOnTerminal(const QStringList& arguments) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        qFatal("no pseudo-terminal");
    const QByteArray slavePath = ::ptsname(master);
    QProcess process;
    process.setChildProcessModifier([slavePath] {
        const int slave = ::open(slavePath.constData(), O_RDWR | O_NOCTTY);
        ::dup2(slave, STDERR_FILENO);
    });
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(ZELVAN_CLI), arguments);
    CliRun run;
    // Read the terminal while the child runs, so that it never blocks on a full terminal.
    QByteArray terminal;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    while (!process.waitForFinished(20)) {
        char buffer[4096];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, got);
        if (clock.elapsed() > kRunLimitMs)
            qFatal("zelvan-cli did not end");
    }
    char buffer[4096];
    for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
        terminal.append(buffer, got);
    ::close(master);
    run = finish(process, clock);
    run.err = QString::fromLocal8Bit(terminal);
    return run;
}

} // namespace zelvan::test
