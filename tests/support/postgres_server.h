#pragma once

#include <QString>
#include <QTemporaryDir>

namespace zelvan::test {

// A throw-away PostgreSQL server for the tests: a cluster in a temporary folder, made on the first
// start, listening on a free local TCP port, trusting user "zelvan"; any other role must give its
// password. The server refuses to run as root, so under root (CI) its programs run as "nobody",
// who owns the folder.
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // False with *error when it cannot (no server installed under /usr/lib/postgresql).
    bool start(QString* error);
    bool stop(QString* error);
    bool isRunning() const { return running_; }
    int port() const { return port_; }

    // The record destination "postgresql://zelvan@127.0.0.1:PORT/DATABASE".
    QString destination(const QString& database = QStringLiteral("postgres")) const;

private:
    bool run(const QString& program, const QStringList& arguments, QString* error);

    QTemporaryDir folder_;
    int port_ = 0;
    bool created_ = false;
    bool running_ = false;
};

} // namespace zelvan::test
