// stavimor-stress: K workstations, each its own process and user, edit one shared table at
// once through the program's record model; the parent then checks the database against what
// each of them was told.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include "stressconfig.h"
#include "stressrunner.h"
#include "stressworker.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Runs K workstations against one shared table and checks the database afterwards. "
        "The last line is \"violations N\".");
    parser.addHelpOption();
    StressConfig::addOptions(parser);
    parser.process(app);

    QString error;
    const StressConfig config = StressConfig::fromParser(parser, &error);
    if (!error.isEmpty()) {
        QTextStream(stderr) << "stress: " << error << "\n";
        return 2;
    }
    if (config.worker >= 0) {
        StressWorker::installMessageHandler();
        return StressWorker(config).run();
    }
    StressWorker::installMessageHandler();
    return StressRunner(config).run();
}
