#include <QApplication>
#include <QCommandLineParser>
#include <QTemporaryDir>
#include <QTextStream>

#include "benchdata.h"
#include "benchrunner.h"

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription("Times loading, saving and the table editor against the "
                                     "floor on a server of its own.");
    parser.addHelpOption();
    const QCommandLineOption host("host", "server host", "host", "127.0.0.1");
    const QCommandLineOption port("port", "server port", "port", "3306");
    const QCommandLineOption user("user", "account", "user", "stavimor");
    const QCommandLineOption password("password", "password", "password", "stavimor");
    const QCommandLineOption database("database", "database, replaced", "name", "stavimor_bench");
    const QCommandLineOption rows("rows", "visible rows of the main figures", "n", "10000");
    const QCommandLineOption runs("runs", "runs per figure (median)", "n", "5");
    const QCommandLineOption sizes("sizes", "row counts of the scaling figure", "list",
                                   "1000,10000,100000");
    parser.addOptions({host, port, user, password, database, rows, runs, sizes});
    parser.process(app);

    QList<int> scaleSizes;
    for (const QString &size : parser.value(sizes).split(','))
        scaleSizes << size.toInt();
    const int mainRows = parser.value(rows).toInt();
    QList<int> tables = scaleSizes;
    if (!tables.contains(mainRows))
        tables << mainRows;

    QTextStream err(stderr);
    QTemporaryDir schemaDir;
    QString error;
    BenchRunner runner(schemaDir.path(), parser.value(runs).toInt());
    if (!schemaDir.isValid() ||
        !BenchData::createDatabase(parser.value(host), parser.value(port).toInt(),
                                   parser.value(user), parser.value(password),
                                   parser.value(database), &error) ||
        !runner.prepare(tables, &error) || !runner.run(mainRows, scaleSizes, &error)) {
        err << "bench failed: " << error << "\n";
        return 1;
    }
    runner.print();
    return 0;
}
