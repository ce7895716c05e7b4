#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A MariaDB server of the test's own, so that a test may kill it without touching the shared
// test server: its data, socket and log in a temporary folder, on 127.0.0.1 with a free port,
// and an account with every privilege under the test server's user name and password.
class PrivateMariaDb
{
public:
    ~PrivateMariaDb();

    // Installs a data folder and starts the server on a free port.
    bool start(QString *error);
    // Starts the server again on the same data and port, after stop() or kill().
    bool restart(QString *error);
    // SIGKILL by pid, as a crash or a power cut would end it; returns once it is gone.
    void kill();
    // SIGSTOP / SIGCONT: a server that accepts connections but never answers.
    void freeze();
    void thaw();
    void stop();

    bool isRunning();
    qint64 pid() const { return process.processId(); }
    int port() const { return serverPort; }
    // Points TestDatabase (and so the tests' connections) at this server.
    void exportForTestDatabase() const;

private:
    bool run(const QString &program, const QStringList &arguments, QString *error) const;
    bool launch(QString *error);
    QStringList clientArguments() const;

    QTemporaryDir dir;
    QProcess process;
    int serverPort = 0;
};
