#include <QtTest>
#include <QtWidgets>

#include "loopbackhttpserver.h"
#include "messagecapture.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "update/downloaderdialog.h"
#include "update/majdialog.h"

static QByteArray release(const QByteArray &version, const QByteArray &title = "Stavimor")
{
    return "<?xml version=\"1.0\"?><releases><release version=\"" + version + "\" title=\"" +
           title + "\"><path>http://downloads.example/stavimor-" + version +
           ".tar.gz</path></release></releases>";
}

namespace {
struct UpdateCase
{
    QString running;
    QByteArray body;
    int status;
    QString versionLine; // empty: no update
    QString opened;      // by "download", empty: nothing
};
struct DownloadCase
{
    QString path;
    int status;   // 0: connection refused
    QString name; // as the label shows it; saved under it on success
    bool saved;   // else rejected, nothing written
};
} // namespace
Q_DECLARE_METATYPE(UpdateCase)
Q_DECLARE_METATYPE(DownloadCase)

// The update check and the file downloader against a real HTTP server on loopback; the update
// address comes from the real server's infos table.
class UpdateTest : public QObject
{
    Q_OBJECT
public slots:
    // Stands in for the desktop's browser.
    void openUrl(const QUrl &url) { openedUrls << url; }

private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QVERIFY_SQL(db, "INSERT INTO infos (module_update_url, app_update_url, version) VALUES "
                        "('', '', 'beta 0.5.2')");
        QVERIFY(server.listen());
        QVERIFY(workDir.isValid());
        savedCurrent = QDir::currentPath();
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(scheme, this, "openUrl");
    }

    void init()
    {
        openedUrls.clear();
        // A main window closes the default connection when it goes.
        QVERIFY(db.openDefault());
        QVERIFY(QDir::setCurrent(workDir.path()));
    }

    void cleanup() { QDir::setCurrent(savedCurrent); }
    void cleanupTestCase()
    {
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
        db.drop();
    }

    void updateAnswer_data()
    {
        QTest::addColumn<UpdateCase>("c");
        const QByteArray local = "<r><release version=\"2\" title=\"x\"><path>file:///bin/sh</path>"
                                 "</release></r>";
        const QString site = "http://downloads.example/stavimor-";
        // clang-format off
        QTest::newRow("same version") << UpdateCase{"0.5", release("0.5"), 200, "", ""};
        QTest::newRow("slightly newer") << UpdateCase{"0.5", release("0.51", "Cedar"), 200,
                "version Cedar 0.51", site + "0.51.tar.gz"};
        QTest::newRow("running version with a word") << UpdateCase{"beta 0.5.2", release("0.1"),
                200, "version Stavimor 0.1", site + "0.1.tar.gz"};
        QTest::newRow("local file is not opened") << UpdateCase{"0.5", local, 200, "version x 2", ""};
        QTest::newRow("not found") << UpdateCase{"0", "<html><p>missing</p></html>", 404, "", ""};
        // clang-format on
    }

    void updateAnswer()
    {
        QFETCH(UpdateCase, c);
        QCoreApplication::setApplicationVersion(c.running);
        server.setResponse("/update.xml", c.body, c.status);
        QVERIFY_SQL(db, "UPDATE infos SET app_update_url = '" +
                            server.url("/update.xml").toString() + "'");
        MessageCapture capture;
        MAJDialog dialog;
        dialog.show();
        QTRY_VERIFY(capture.contains("finish"));
        const bool update = !c.versionLine.isEmpty();
        QVERIFY(capture.contains(update ? "Update avaible" : "No update avaible"));
        QCOMPARE(dialog.isVisible(), update);
        QCOMPARE(QStringList({dialog.findChild<QLabel *>("titleLabel")->text(),
                              dialog.findChild<QLabel *>("versionLabel")->text()}),
                 update ? QStringList({"Update Avaible", c.versionLine})
                        : QStringList({"No Update", "you have already the latest version "}));
        if (!update)
            return;
        QTest::mouseClick(dialog.findChild<QPushButton *>("downloadButton"), Qt::LeftButton);
        QCOMPARE(openedUrls, c.opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(c.opened)});
    }

    void download_data()
    {
        QTest::addColumn<DownloadCase>("c");
        // clang-format off
        QTest::newRow("good answer") << DownloadCase{"/files/module.so", 200, "module.so", true};
        QTest::newRow("query is not part of the name") << DownloadCase{"/files/get.xml?id=3", 200, "get.xml", true};
        QTest::newRow("not found") << DownloadCase{"/files/keep.txt", 404, "keep.txt", false};
        QTest::newRow("connection refused") << DownloadCase{"/files/keep.txt", 0, "keep.txt", false};
        QTest::newRow("encoded slashes") << DownloadCase{"/files/..%2F..%2Fescaped.txt", 200, "escaped.txt", true};
        QTest::newRow("encoded dots") << DownloadCase{"/files/%2E%2E", 200, "", false};
        QTest::newRow("encoded NUL") << DownloadCase{"/files/keep.txt%00.html", 200, "", false};
        // clang-format on
    }

    // A file of the same name survives a failed download; nothing lands outside the working
    // directory.
    void download()
    {
        QFETCH(DownloadCase, c);
        const QByteArray body("\177ELF\0body", 9);
        QDir work(workDir.path());
        for (const QString &file : work.entryList(QDir::Files))
            work.remove(file);
        QVERIFY(TestHelpers::writeFile(work.absoluteFilePath("keep.txt"), "precious"));
        server.setResponse(c.path.section('?', 0, 0), body, c.status);
        MessageCapture capture;
        DownloaderDialog dialog;
        dialog.startDownload(c.status ? server.url(c.path)
                                      : LoopbackHttpServer::refusedUrl(c.path));
        QCOMPARE(dialog.findChild<QLabel *>("label")->text(), "download of " + c.name);
        QTimer::singleShot(10000, &dialog, &QDialog::reject);
        QCOMPARE(dialog.exec(), int(c.saved ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(capture.contains("save"), c.saved);
        QCOMPARE(dialog.savedFilePath, c.saved ? work.absoluteFilePath(c.name) : QString());
        QCOMPARE(work.entryList(QDir::Files).size(), c.saved ? 2 : 1);
        QFile keep(work.absoluteFilePath("keep.txt")), file(dialog.savedFilePath);
        QVERIFY(keep.open(QIODevice::ReadOnly) && keep.readAll() == "precious");
        if (c.saved)
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == body);
    }

    // "cancel" while the body arrives aborts the request and saves nothing.
    void cancel()
    {
        server.setResponse("/files/slow.bin", {200, QByteArray(40000, 'x'), 10, 150});
        const QString saved = QDir(workDir.path()).absoluteFilePath("slow.bin");
        DownloaderDialog dialog;
        auto *bar = dialog.findChild<QProgressBar *>("progressBar");
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value > 0 && value < 100)
                QTest::mouseClick(dialog.findChild<QPushButton *>("pushButton"), Qt::LeftButton);
        });
        dialog.startDownload(server.url("/files/slow.bin"));
        QTimer::singleShot(10000, &dialog, &QDialog::accept);
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QTRY_COMPARE(server.cutOffAnswers(), 1);
        QVERIFY(!QFile::exists(saved));
    }

private:
    TestDatabase db;
    LoopbackHttpServer server;
    QTemporaryDir workDir;
    QString savedCurrent;
    QList<QUrl> openedUrls;
};

QTEST_MAIN(UpdateTest)
#include "tst_update.moc"
