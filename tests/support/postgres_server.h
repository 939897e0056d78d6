#pragma once

#include <QString>
#include <QTemporaryDir>

#include <chrono>

namespace zelvan::test {

// A TCP port on 127.0.0.1 that nothing listens on just now.
int freeLocalPort();

// A TCP port on 127.0.0.1 that takes connections (the system does, on its own) and never answers:
// a server that hangs.
class SilentPort {
public:
    SilentPort();
    ~SilentPort();
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A throw-away PostgreSQL server for the tests: a cluster in a temporary folder, listening on a
// free local TCP port, trusting local connections as user "zelvan"; any other role must give its
// password. The server refuses to run as root, so under root (CI) every server program runs as
// the unprivileged user "nobody", who owns the folder.
class PostgresServer {
public:
    static constexpr std::chrono::seconds kStartWait{60};

    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // The folder holding initdb and pg_ctl (Debian: /usr/lib/postgresql/<version>/bin, the newest),
    // or empty when the server is not installed.
    static QString binaryFolder();

    // Makes the cluster on first use, then starts the server. False with *error when it cannot.
    bool start(QString* error);
    bool stop(QString* error);
    bool isRunning() const { return running_; }

    // The record destination of a database, "postgresql://zelvan@127.0.0.1:PORT/postgres"; login
    // is USER[:PASSWORD].
    QString destination(const QString& database = QStringLiteral("postgres"),
                        const QString& login = QStringLiteral("zelvan")) const;
    int port() const { return port_; }

private:
    bool run(const QString& program, const QStringList& arguments, QString* error);

    QTemporaryDir folder_;
    int port_ = 0;
    bool created_ = false;
    bool running_ = false;
};

} // namespace zelvan::test
