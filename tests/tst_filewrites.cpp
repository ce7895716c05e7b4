#include <QStandardItemModel>
#include <QtTest>

#include <signal.h>
#include <sys/resource.h>

#include "core/savedfile.h"
#include "editor/modelexporter.h"
#include "loopbackhttpserver.h"
#include "testhelpers.h"
#include "update/downloaderdialog.h"

// Every file the program writes is complete or absent under its name: a write that fails
// half-way (here: the process may not write files past 64 KB, which holds for root too)
// leaves the earlier file, or none, and no temporary file behind.
class FileWritesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Past the limit a write fails with EFBIG instead of ending the process.
        signal(SIGXFSZ, SIG_IGN);
        QVERIFY(server.listen());
        savedCurrent = QDir::currentPath();
    }

    void init()
    {
        QDir folder(dir.path());
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden))
            folder.remove(name);
        QVERIFY(QDir::setCurrent(dir.path()));
    }

    void cleanup()
    {
        limitFileSize(false);
        QDir::setCurrent(savedCurrent);
    }

    void writes_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::addColumn<bool>("limited");  // the write fails past 64 KB
        QTest::addColumn<bool>("existing"); // a file of that name is there before
        for (const char *writer : {"csv export", "copied schema or module", "download"}) {
            // Unlimited, the same writers succeed: the failures are the limit's, not the writer's.
            QTest::addRow("%s, whole", writer) << writer << false << false;
            QTest::addRow("%s, new file", writer) << writer << true << false;
            if (QByteArray(writer) != "copied schema or module")
                QTest::addRow("%s, replacing a file", writer) << writer << true << true;
        }
    }

    void writes()
    {
        QFETCH(QString, writer);
        QFETCH(bool, limited);
        QFETCH(bool, existing);
        const QString target = QDir(dir.path()).absoluteFilePath("target.csv");
        if (existing)
            QVERIFY(TestHelpers::writeFile(target, "earlier content\n"));
        QByteArray body = "short\nfile";
        if (limited)
            for (int line = 0; line < 10000; ++line)
                body += "\nline " + QByteArray::number(line) + " of a long file";
        QCOMPARE(write(writer, target, body, limited), !limited);
        limitFileSize(false);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 limited && !existing ? QStringList() : QStringList{"target.csv"});
        if (limited && !existing)
            return;
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = writer == "csv export" ? body + "\n" : body;
        QCOMPARE(file.readAll(), limited ? QByteArray("earlier content\n") : whole);
    }

private:
    // Writes body under target the way the program's writer does; the file to copy from and the
    // answer to download are prepared before the limit applies.
    bool write(const QString &writer, const QString &target, const QByteArray &body, bool limited)
    {
        if (writer == "csv export") {
            QStandardItemModel model;
            for (const QByteArray &line : body.split('\n'))
                model.appendRow(new QStandardItem(QString::fromLatin1(line)));
            limitFileSize(limited);
            return ModelExporter(&model).writeCsv(target);
        }
        if (writer == "copied schema or module") {
            const QString source =
                QDir(dir.path()).absoluteFilePath("../" + QFileInfo(target).fileName() + ".source");
            TestHelpers::writeFile(source, body);
            limitFileSize(limited);
            const bool ok = SavedFile::copy(source, target);
            limitFileSize(false);
            QFile::remove(source);
            return ok;
        }
        server.setResponse("/files/" + QFileInfo(target).fileName(), body);
        DownloaderDialog dialog;
        limitFileSize(limited);
        dialog.startDownload(server.url("/files/" + QFileInfo(target).fileName()));
        QTimer::singleShot(10000, &dialog, &QDialog::reject);
        return dialog.exec() == QDialog::Accepted;
    }

    void limitFileSize(bool on)
    {
        rlimit limit;
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = on ? 64 * 1024 : limit.rlim_max;
        setrlimit(RLIMIT_FSIZE, &limit);
    }

    LoopbackHttpServer server;
    QTemporaryDir dir;
    QString savedCurrent;
};

QTEST_MAIN(FileWritesTest)
#include "tst_filewrites.moc"
