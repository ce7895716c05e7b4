#include "stressconfig.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

namespace {
QString env(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

bool parseNodes(const QString &list, QList<QPair<QString, int>> *nodes)
{
    for (const QString &node : list.split(',', Qt::SkipEmptyParts)) {
        const int colon = node.lastIndexOf(':');
        bool ok = false;
        const int port = colon > 0 ? node.mid(colon + 1).toInt(&ok) : 0;
        if (!ok || port <= 0)
            return false;
        nodes->append({node.left(colon).trimmed(), port});
    }
    return !nodes->isEmpty();
}
} // namespace

void StressConfig::addOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {"k", "worker processes, each its own user (1 to 16)", "K", "4"},
        {"m", "iterations of each worker", "M", "200"},
        {"host", "server host", "host", "127.0.0.1"},
        {"port", "server port", "port", "3306"},
        {"nodes",
         "servers host:port,host:port,...; worker i starts on node i % n "
         "(replaces --host and --port)",
         "list"},
        {"user", "database account", "user", "stavimor"},
        {"password", "password of the account", "password", "stavimor"},
        {"database", "database, replaced by the run", "name", "stavimor_stress"},
        {"work-dir", "folder for the schema and the journals (default: a temporary one)", "dir"},
        {"seed", "seed of the workers' random choices", "n", "1"},
        {"check", "only check the database and the journals of --work-dir again"},
        {"test-server", "use the server of STAVIMOR_TEST_DB_* and a database of its own, "
                        "dropped at the end"},
        {"worker", "run as worker number i (started by the parent)", "i"},
    });
}

StressConfig StressConfig::fromParser(const QCommandLineParser &parser, QString *error)
{
    StressConfig config;
    config.workers = parser.value("k").toInt();
    config.iterations = parser.value("m").toInt();
    config.user = parser.value("user");
    config.password = parser.value("password");
    config.database = parser.value("database");
    config.workDir = parser.value("work-dir");
    config.seed = parser.value("seed").toUInt();
    config.checkOnly = parser.isSet("check");
    config.testServer = parser.isSet("test-server");
    config.worker = parser.isSet("worker") ? parser.value("worker").toInt() : -1;
    if (config.testServer) {
        config.nodes = {{env("STAVIMOR_TEST_DB_HOST", "127.0.0.1"),
                         env("STAVIMOR_TEST_DB_PORT", "3306").toInt()}};
        config.user = env("STAVIMOR_TEST_DB_USER", "root");
        config.password = env("STAVIMOR_TEST_DB_PASSWORD", QString());
        if (!parser.isSet("database") && config.worker < 0)
            config.database = QString("stavimor_stress_%1").arg(QCoreApplication::applicationPid());
    } else if (parser.isSet("nodes")) {
        if (!parseNodes(parser.value("nodes"), &config.nodes)) {
            *error = "--nodes wants host:port,host:port,...";
            return config;
        }
    } else {
        config.nodes = {{parser.value("host"), parser.value("port").toInt()}};
    }
    if (config.workers < 1 || config.workers > maxWorkers)
        *error = QString("-k must be between 1 and %1").arg(maxWorkers);
    else if (config.iterations < 1)
        *error = "-m must be at least 1";
    else if (config.checkOnly && config.workDir.isEmpty())
        *error = "--check needs the --work-dir of the run";
    return config;
}

QStringList StressConfig::workerArguments(int index) const
{
    QStringList nodeList;
    for (const auto &[host, port] : nodes)
        nodeList << host + ":" + QString::number(port);
    return {"--worker",   QString::number(index),
            "-k",         QString::number(workers),
            "-m",         QString::number(iterations),
            "--nodes",    nodeList.join(','),
            "--user",     user,
            "--password", password,
            "--database", database,
            "--work-dir", workDir,
            "--seed",     QString::number(seed)};
}

QString StressConfig::journalPath(int index) const
{
    return QDir(workDir).filePath(QString("worker-%1.journal").arg(index + 1));
}

QString StressConfig::setupJournalPath() const
{
    return QDir(workDir).filePath("setup.journal");
}

QString StressConfig::schemaPath() const
{
    return QDir(workDir).filePath(tableName() + ".xml");
}
