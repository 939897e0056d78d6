#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace zelvan::test {

// One run of the real zelvan-cli executable as a child process.
struct CliRun {
    int exitCode = -1; // -1 when it crashed or was killed
    QString out;
    QString err;
};

// Runs zelvan-cli with the arguments and waits for it (at most a minute, or the test program ends).
// The child sees this process's environment, so the ZELVAN_COMn of a BoardRig name its ports.
// whileRunning, when given, is called once the child has started.
CliRun runCli(const QStringList& arguments, const std::function<void(QProcess&)>& whileRunning = {});

// The same with its stderr on a pseudo-terminal (as in a shell), stdout on a pipe.
CliRun runCliOnTerminal(const QStringList& arguments);

} // namespace zelvan::test
