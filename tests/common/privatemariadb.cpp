#include "privatemariadb.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QThread>

#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "testdatabase.h"

namespace {
// The server's administrator is the operating system user, through the socket.
QString systemUser()
{
    const passwd *entry = getpwuid(geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QStringLiteral("root");
}

int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}
} // namespace

PrivateMariaDb::~PrivateMariaDb()
{
    stop();
}

QStringList PrivateMariaDb::clientArguments() const
{
    return {"--no-defaults", "--protocol=socket", "--socket=" + dir.filePath("mysqld.sock"),
            "-u" + systemUser()};
}

bool PrivateMariaDb::run(const QString &program, const QStringList &arguments, QString *error) const
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    const bool ok = tool.waitForFinished(120000) && tool.exitStatus() == QProcess::NormalExit &&
                    tool.exitCode() == 0;
    if (!ok && error)
        *error = program + " failed: " + tool.errorString() + " " + tool.readAll().right(2000);
    return ok;
}

bool PrivateMariaDb::start(QString *error)
{
    if (!run("mariadb-install-db",
             {"--no-defaults", "--datadir=" + dir.filePath("data"), "--user=" + systemUser(),
              "--auth-root-authentication-method=socket", "--auth-root-socket-user=" + systemUser(),
              "--skip-test-db", "--skip-name-resolve"},
             error))
        return false;
    // Another program may take the port before the server binds it: try a few.
    bool launched = false;
    for (int attempt = 0; attempt < 5 && !launched; ++attempt) {
        serverPort = freePort();
        launched = launch(error);
    }
    if (!launched)
        return false;
    const QString account = QString("'%1'@'%2' IDENTIFIED BY '%3'")
                                .arg(TestDatabase::user(), "%", TestDatabase::password());
    QStringList arguments = clientArguments();
    arguments << "-e"
              << QString("CREATE USER IF NOT EXISTS %1; GRANT ALL PRIVILEGES ON *.* TO '%2'@'%' "
                         "WITH GRANT OPTION;")
                     .arg(account, TestDatabase::user());
    return run("mariadb", arguments, error);
}

bool PrivateMariaDb::launch(QString *error)
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    // A test that dies (a crash, a time-out) takes its server with it.
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.setStandardOutputFile(dir.filePath("error.log"), QIODevice::Append);
    process.start("mariadbd",
                  {"--no-defaults", "--user=" + systemUser(), "--datadir=" + dir.filePath("data"),
                   "--bind-address=127.0.0.1", "--port=" + QString::number(serverPort),
                   "--socket=" + dir.filePath("mysqld.sock"),
                   "--pid-file=" + dir.filePath("mysqld.pid"), "--skip-name-resolve",
                   "--innodb-buffer-pool-size=32M"});
    if (!process.waitForStarted(10000)) {
        *error = "mariadbd does not start: " + process.errorString();
        return false;
    }
    const QStringList ping = clientArguments() << "--connect-timeout=2"
                                               << "ping";
    const QDeadlineTimer deadline(60000);
    while (!deadline.hasExpired()) {
        if (process.state() != QProcess::Running) {
            *error = "mariadbd exited during start, see " + dir.filePath("error.log");
            return false;
        }
        if (run("mariadb-admin", ping, nullptr))
            return true;
        QThread::msleep(200);
    }
    *error = "mariadbd did not answer within 60 s";
    stop();
    return false;
}

bool PrivateMariaDb::restart(QString *error)
{
    return launch(error);
}

bool PrivateMariaDb::isRunning()
{
    // A server killed from another thread is only seen gone once its exit is collected.
    if (process.state() == QProcess::Running)
        process.waitForFinished(0);
    return process.state() == QProcess::Running;
}

void PrivateMariaDb::kill()
{
    if (!isRunning())
        return;
    ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished(30000);
}

void PrivateMariaDb::freeze()
{
    if (isRunning())
        ::kill(pid_t(process.processId()), SIGSTOP);
}

void PrivateMariaDb::thaw()
{
    if (isRunning())
        ::kill(pid_t(process.processId()), SIGCONT);
}

void PrivateMariaDb::stop()
{
    if (!isRunning())
        return;
    thaw();
    process.terminate();
    if (!process.waitForFinished(30000))
        kill();
}

void PrivateMariaDb::exportForTestDatabase() const
{
    qputenv("STAVIMOR_TEST_DB_HOST", "127.0.0.1");
    qputenv("STAVIMOR_TEST_DB_PORT", QByteArray::number(serverPort));
}
