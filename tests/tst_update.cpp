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
        QTest::addColumn<QString>("running");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("versionLine"); // empty: no update
        QTest::addColumn<QString>("opened");      // by "download", empty: nothing
        const QByteArray local = "<r><release version=\"2\" title=\"x\"><path>file:///bin/sh</path>"
                                 "</release></r>";
        const QString site = "http://downloads.example/stavimor-";
        // clang-format off
        QTest::newRow("same version") << "0.5" << release("0.5") << 200 << "" << "";
        QTest::newRow("slightly newer") << "0.5" << release("0.51", "Cedar") << 200
                << "version Cedar 0.51" << site + "0.51.tar.gz";
        QTest::newRow("running version with a word") << "beta 0.5.2" << release("0.1") << 200
                << "version Stavimor 0.1" << site + "0.1.tar.gz";
        QTest::newRow("local file is not opened") << "0.5" << local << 200 << "version x 2" << "";
        QTest::newRow("not found") << "0" << QByteArray("<html><p>missing</p></html>") << 404 << ""
                << "";
        // clang-format on
    }

    void updateAnswer()
    {
        QFETCH(QString, running);
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, versionLine);
        QFETCH(QString, opened);

        QCoreApplication::setApplicationVersion(running);
        server.setResponse("/update.xml", body, status);
        QVERIFY_SQL(db, "UPDATE infos SET app_update_url = '" +
                            server.url("/update.xml").toString() + "'");
        MessageCapture capture;
        MAJDialog dialog;
        dialog.show();
        QTRY_VERIFY(capture.contains("finish"));
        const bool update = !versionLine.isEmpty();
        QVERIFY(capture.contains(update ? "Update avaible" : "No update avaible"));
        QCOMPARE(dialog.isVisible(), update);
        QCOMPARE(QStringList({dialog.findChild<QLabel *>("titleLabel")->text(),
                              dialog.findChild<QLabel *>("versionLabel")->text()}),
                 update ? QStringList({"Update Avaible", versionLine})
                        : QStringList({"No Update", "you have already the latest version "}));
        if (!update)
            return;
        QTest::mouseClick(dialog.findChild<QPushButton *>("downloadButton"), Qt::LeftButton);
        QCOMPARE(openedUrls, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
    }

    void download_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");   // 0: connection refused
        QTest::addColumn<QString>("name"); // as the label shows it; saved under it on success
        QTest::addColumn<bool>("saved");   // else rejected, nothing written
        // clang-format off
        QTest::newRow("good answer") << "/files/module.so" << 200 << "module.so" << true;
        QTest::newRow("query is not part of the name") << "/files/get.xml?id=3" << 200 << "get.xml"
                << true;
        QTest::newRow("not found") << "/files/keep.txt" << 404 << "keep.txt" << false;
        QTest::newRow("connection refused") << "/files/keep.txt" << 0 << "keep.txt" << false;
        QTest::newRow("encoded slashes") << "/files/..%2F..%2Fescaped.txt" << 200 << "escaped.txt"
                << true;
        QTest::newRow("encoded dots") << "/files/%2E%2E" << 200 << "" << false;
        QTest::newRow("encoded NUL") << "/files/keep.txt%00.html" << 200 << "" << false;
        // clang-format on
    }

    // A file of the same name survives a failed download; nothing lands outside the working
    // directory.
    void download()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QString, name);
        QFETCH(bool, saved);
        const QByteArray body("\x7f"
                              "ELF\0body",
                              9);
        QDir work(workDir.path());
        for (const QString &file : work.entryList(QDir::Files))
            work.remove(file);
        QVERIFY(TestHelpers::writeFile(work.absoluteFilePath("keep.txt"), "precious"));
        server.setResponse(path.section('?', 0, 0), body, status);
        MessageCapture capture;
        DownloaderDialog dialog;
        dialog.startDownload(status ? server.url(path) : LoopbackHttpServer::refusedUrl(path));
        QCOMPARE(dialog.findChild<QLabel *>("label")->text(), "download of " + name);
        QTimer::singleShot(10000, &dialog, &QDialog::reject);
        QCOMPARE(dialog.exec(), int(saved ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(capture.contains("save"), saved);
        QCOMPARE(dialog.savedFilePath, saved ? work.absoluteFilePath(name) : QString());
        QCOMPARE(work.entryList(QDir::Files).size(), saved ? 2 : 1);
        QFile keep(work.absoluteFilePath("keep.txt")), file(dialog.savedFilePath);
        QVERIFY(keep.open(QIODevice::ReadOnly) && keep.readAll() == "precious");
        if (saved)
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == body);
    }

    // "cancel" while the body arrives aborts the request and saves nothing.
    void cancel()
    {
        LoopbackHttpServer::Response response;
        response.body = QByteArray(40000, 'x');
        response.pieces = 10;
        response.pauseMs = 150;
        server.setResponse("/files/slow.bin", response);
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
