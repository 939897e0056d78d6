#pragma once

#include <QString>
#include <QTemporaryDir>

#include <chrono>

namespace zelvan::test {

// A throw-away PostgreSQL server for the tests: a cluster in a temporary folder, listening on a
// free local TCP port, trusting local connections as user "zelvan". The server refuses to run as
// root, so under root (CI) every server program runs as the unprivileged user "nobody", who owns
// the folder.
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

    // The record destination of its database, "postgresql://zelvan@127.0.0.1:PORT/postgres".
    QString destination() const;
    int port() const { return port_; }

private:
    bool run(const QString& program, const QStringList& arguments, QString* error);

    QTemporaryDir folder_;
    int port_ = 0;
    bool created_ = false;
    bool running_ = false;
};

} // namespace zelvan::test
