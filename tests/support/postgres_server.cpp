#include "postgres_server.h"

#include <QCollator>
#include <QDir>
#include <QProcess>
#include <QTcpServer>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace zelvan::test {

namespace {

constexpr char kServerUser[] = "nobody"; // who runs the server when the tests run as root
constexpr std::chrono::seconds kStartWait{60};

// Who may connect: the test's own user without a password, every other role with its password.
constexpr char kClientAuthentication[] = "local all all trust\n"
                                         "host all zelvan 127.0.0.1/32 trust\n"
                                         "host all all 127.0.0.1/32 scram-sha-256\n";

// The folder holding initdb and pg_ctl (Debian: /usr/lib/postgresql/<version>/bin, the newest
// that has them: a newer client alone has a folder too), or empty.
QString binaryFolder() {
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    for (auto version = versions.crbegin(); version != versions.crend(); ++version) {
        const QString folder = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*version);
        if (QFile::exists(folder + QStringLiteral("/initdb")) && QFile::exists(folder + QStringLiteral("/pg_ctl")))
            return folder;
    }
    return QString();
}

} // namespace

PostgresServer::PostgresServer() {
    QTcpServer probe; // a port that nothing listens on just now
    port_ = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
    const passwd* user = ::geteuid() == 0 ? ::getpwnam(kServerUser) : nullptr;
    if (user && ::chown(QFile::encodeName(folder_.path()).constData(), user->pw_uid, user->pw_gid) != 0)
        qWarning("cannot hand %s to the user %s", qPrintable(folder_.path()), kServerUser);
}

PostgresServer::~PostgresServer() {
    QString error;
    if (running_)
        stop(&error);
}

bool PostgresServer::run(const QString& program, const QStringList& arguments, QString* error) {
    QProcess process;
    process.setWorkingDirectory(folder_.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString path = binaryFolder() + QLatin1Char('/') + program;
    if (::geteuid() == 0)
        process.start(QStringLiteral("runuser"), QStringList{"-u", kServerUser, "--", path} + arguments);
    else
        process.start(path, arguments);
    if (!process.waitForFinished(int(std::chrono::milliseconds(kStartWait).count())) ||
        process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 failed: %2 %3").arg(program, process.errorString(), process.readAll());
        return false;
    }
    return true;
}

bool PostgresServer::start(QString* error) {
    if (binaryFolder().isEmpty() || !folder_.isValid() || port_ == 0) {
        *error = QStringLiteral("no PostgreSQL server under /usr/lib/postgresql/*/bin, or no folder or port for it");
        return false;
    }
    const QString data = folder_.filePath(QStringLiteral("data"));
    if (!created_) {
        created_ = run(QStringLiteral("initdb"),
                       {"-D", data, "-U", "zelvan", "-A", "trust", "-E", "UTF8", "--locale=C", "--no-sync"}, error);
        // Rewritten in place, the file keeps the server user as its owner.
        QFile rules(data + QStringLiteral("/pg_hba.conf"));
        if (created_ &&
            !(rules.open(QIODevice::WriteOnly | QIODevice::Truncate) && rules.write(kClientAuthentication) > 0)) {
            *error = QStringLiteral("cannot write %1").arg(rules.fileName());
            created_ = false;
        }
        if (!created_)
            return false;
    }
    // TCP on the loopback only; the socket file in the cluster's folder, which the server user owns.
    const QString options =
        QStringLiteral("-p %1 -c listen_addresses=127.0.0.1 -k '%2'").arg(port_).arg(folder_.path());
    running_ = run(QStringLiteral("pg_ctl"),
                   {"-D", data, "-l", folder_.filePath(QStringLiteral("server.log")), "-o", options, "-w", "-t",
                    QString::number(kStartWait.count()), "start"},
                   error);
    return running_;
}

bool PostgresServer::stop(QString* error) {
    running_ = !run(QStringLiteral("pg_ctl"),
                    {"-D", folder_.filePath(QStringLiteral("data")), "-m", "fast", "-w", "stop"}, error);
    return !running_;
}

QString PostgresServer::destination(const QString& database) const {
    return QStringLiteral("postgresql://zelvan@127.0.0.1:%1/%2").arg(port_).arg(database);
}

} // namespace zelvan::test
