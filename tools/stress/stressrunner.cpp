#include "stressrunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

#include "stresscheck.h"
#include "stresssetup.h"

namespace {
const char *adminConnection = "stress-admin";
}

StressRunner::StressRunner(const StressConfig &config)
    : config(config)
{}

QSqlDatabase StressRunner::open(bool withDatabase, QString *error)
{
    QSqlDatabase::removeDatabase(adminConnection);
    QSqlDatabase db = QSqlDatabase::addDatabase("QMYSQL", adminConnection);
    for (const auto &[host, port] : config.nodes) {
        db.setHostName(host);
        db.setPort(port);
        db.setUserName(config.user);
        db.setPassword(config.password);
        db.setDatabaseName(withDatabase ? config.database : QString());
        if (db.open())
            return db;
        *error = db.lastError().text();
    }
    return db;
}

bool StressRunner::runWorkers(QString *error)
{
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int i = 0; i < config.workers; ++i) {
        QFile::remove(config.journalPath(i));
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QCoreApplication::applicationFilePath(), config.workerArguments(i));
        workers.push_back(std::move(process));
    }
    bool ok = true;
    for (int i = 0; i < config.workers; ++i) {
        QProcess &process = *workers.at(i);
        process.waitForFinished(-1);
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            *error += QString("worker %1 ended with status %2%3. ")
                          .arg(i + 1)
                          .arg(process.exitCode())
                          .arg(process.exitStatus() == QProcess::CrashExit ? " (crashed)" : "");
            ok = false;
        }
    }
    return ok;
}

int StressRunner::run()
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    std::unique_ptr<QTemporaryDir> temporary;
    if (config.workDir.isEmpty()) {
        temporary = std::make_unique<QTemporaryDir>();
        config.workDir = temporary->path();
    }
    QDir().mkpath(config.workDir);

    QString error;
    bool runOk = true;
    if (!config.checkOnly) {
        QSqlDatabase db = open(false, &error);
        if (!db.isOpen() || !StressSetup::run(config, db, &error)) {
            err << "stress: setup failed: " << error << "\n";
            return 2;
        }
        db.close();
        out << "workers " << config.workers << "\niterations " << config.iterations << "\n";
        out.flush();
        error.clear();
        runOk = runWorkers(&error);
        if (!runOk)
            err << "stress: " << error << "\n";
    }

    // Opened anew: the node of the setup may be the one that was lost during the run.
    QSqlDatabase db = open(true, &error);
    StressCheck check;
    if (!db.isOpen() || !check.run(config, db, &error)) {
        err << "stress: check failed: " << error << "\n";
        return 2;
    }
    // A run in which nothing was saved has checked nothing.
    if (!config.checkOnly && check.events.value("save ok") == 0) {
        err << "stress: no save succeeded\n";
        runOk = false;
    }
    const int violations = check.violations();
    for (const QString &note : std::as_const(check.notes))
        err << "stress: " << note << "\n";
    if (violations > 0 || !runOk) {
        // Kept for a look at what went wrong.
        if (temporary)
            temporary->setAutoRemove(false);
        err << "stress: database " << config.database << " and journals in " << config.workDir
            << " kept\n";
    } else if (config.testServer) {
        StressSetup::exec(db, "DROP DATABASE `" + config.database + "`", &error);
    }
    err.flush();
    for (const auto &[name, value] : check.figures())
        out << name << " " << value << "\n";
    out << "violations " << violations << "\n";
    out.flush();
    db.close();
    if (!runOk)
        return 2;
    return violations > 0 ? 1 : 0;
}
