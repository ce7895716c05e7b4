#include <QStandardItemModel>
#include <QtTest>

#include <signal.h>
#include <sys/resource.h>

#include "core/savedfile.h"
#include "editor/modelexporter.h"
#include "loopbackhttpserver.h"
#include "update/downloaderdialog.h"

// Every file the program writes is complete or absent under its name: a write that fails
// half-way (here: the process may not write files past 64 KB, which holds for root too)
// leaves the earlier file, or none, and no temporary file behind.
class FileWritesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void failedWriteLeavesNoTruncatedFile_data();
    void failedWriteLeavesNoTruncatedFile();
    void completeWritesAreWhole_data();
    void completeWritesAreWhole();

private:
    bool write(const QString &writer, const QString &target, const QByteArray &body);
    void limitFileSize(bool on);

    LoopbackHttpServer server;
    QTemporaryDir dir;
    QString savedCurrent;
};

void FileWritesTest::initTestCase()
{
    // Past the limit a write fails with EFBIG instead of ending the process.
    signal(SIGXFSZ, SIG_IGN);
    QVERIFY(server.listen());
    savedCurrent = QDir::currentPath();
}

void FileWritesTest::init()
{
    QDir folder(dir.path());
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden))
        folder.remove(name);
    QVERIFY(QDir::setCurrent(dir.path()));
}

void FileWritesTest::cleanup()
{
    limitFileSize(false);
    QDir::setCurrent(savedCurrent);
}

void FileWritesTest::limitFileSize(bool on)
{
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = on ? 64 * 1024 : limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
}

// Writes body under target the way the program's writer does; the file to copy from and the
// answer to download are prepared before the limit applies.
bool FileWritesTest::write(const QString &writer, const QString &target, const QByteArray &body)
{
    if (writer == "csv export") {
        QStandardItemModel model;
        for (const QByteArray &line : body.split('\n'))
            model.appendRow(new QStandardItem(QString::fromLatin1(line)));
        limitFileSize(true);
        return ModelExporter(&model).writeCsv(target);
    }
    if (writer == "copied schema or module") {
        const QString source =
            QDir(dir.path()).absoluteFilePath("../" + QFileInfo(target).fileName() + ".source");
        QFile file(source);
        file.open(QIODevice::WriteOnly);
        file.write(body);
        file.close();
        limitFileSize(true);
        const bool ok = SavedFile::copy(source, target);
        limitFileSize(false);
        QFile::remove(source);
        return ok;
    }
    server.setResponse("/files/" + QFileInfo(target).fileName(), body);
    DownloaderDialog dialog;
    limitFileSize(true);
    dialog.startDownload(server.url("/files/" + QFileInfo(target).fileName()));
    QTimer::singleShot(10000, &dialog, &QDialog::reject);
    return dialog.exec() == QDialog::Accepted;
}

void FileWritesTest::failedWriteLeavesNoTruncatedFile_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<bool>("existing"); // a file of that name is there before
    for (const char *writer : {"csv export", "copied schema or module", "download"}) {
        QTest::addRow("%s, new file", writer) << writer << false;
        if (QByteArray(writer) != "copied schema or module")
            QTest::addRow("%s, replacing a file", writer) << writer << true;
    }
}

void FileWritesTest::failedWriteLeavesNoTruncatedFile()
{
    QFETCH(QString, writer);
    QFETCH(bool, existing);
    const QString target = QDir(dir.path()).absoluteFilePath("target.csv");
    if (existing) {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier content\n");
    }
    QByteArray body;
    for (int line = 0; line < 10000; ++line)
        body += "line " + QByteArray::number(line) + " of a long file\n";
    QVERIFY(!write(writer, target, body));
    limitFileSize(false);
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, existing ? QStringList{"target.csv"} : QStringList());
    if (existing) {
        QFile old(target);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("earlier content\n"));
    }
}

void FileWritesTest::completeWritesAreWhole_data()
{
    QTest::addColumn<QString>("writer");
    for (const char *writer : {"csv export", "copied schema or module", "download"})
        QTest::newRow(writer) << writer;
}

// The same writers under the limit: the check above fails for the limit, not for the writer.
void FileWritesTest::completeWritesAreWhole()
{
    QFETCH(QString, writer);
    const QString target = QDir(dir.path()).absoluteFilePath("target.csv");
    const QByteArray body = "short\nfile";
    QVERIFY(write(writer, target, body));
    limitFileSize(false);
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), writer == "csv export" ? QByteArray("short\nfile\n") : body);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"target.csv"});
}

QTEST_MAIN(FileWritesTest)
#include "tst_filewrites.moc"
