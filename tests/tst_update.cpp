#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "loopbackhttpserver.h"
#include "messagecapture.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "update/downloaderdialog.h"
#include "update/majdialog.h"

// The update check and the file downloader against a real HTTP server on loopback; the update
// address comes from the real server's infos table.
class UpdateTest : public QObject
{
    Q_OBJECT
public slots:
    // Stands in for the desktop's browser.
    void openUrl(const QUrl &url) { openedUrls << url; }

private slots:
    void initTestCase();
    void init();
    void cleanup() { QDir::setCurrent(savedCurrent); }
    void cleanupTestCase();

    void updateAnswer_data();
    void updateAnswer();

    void download_data();
    void download();
    void slowBody_data();
    void slowBody();

private:
    void setUpdateUrl(const QString &url);

    TestDatabase db;
    LoopbackHttpServer server;
    QTemporaryDir workDir;
    QString savedCurrent;
    QList<QUrl> openedUrls;
};

void UpdateTest::initTestCase()
{
    QVERIFY_CREATE(db);
    QVERIFY(server.listen());
    QVERIFY(workDir.isValid());
    savedCurrent = QDir::currentPath();
    for (const char *scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(scheme, this, "openUrl");
}

void UpdateTest::init()
{
    openedUrls.clear();
    server.clearRequests();
    // A main window closes the default connection when it goes.
    QVERIFY(db.openDefault());
    QCoreApplication::setApplicationVersion("0.5");
    QVERIFY(QDir::setCurrent(workDir.path()));
}

void UpdateTest::cleanupTestCase()
{
    for (const char *scheme : {"http", "https", "file"})
        QDesktopServices::unsetUrlHandler(scheme);
    db.drop();
}

void UpdateTest::setUpdateUrl(const QString &url)
{
    QVERIFY_SQL(db, "DELETE FROM infos");
    QVERIFY_SQL(db, "INSERT INTO infos (module_update_url, app_update_url, version) VALUES ('', '" +
                        url + "', 'beta 0.5.2')");
}

static QByteArray release(const QByteArray &version, const QByteArray &title = "Stavimor")
{
    return "<?xml version=\"1.0\"?><releases><release version=\"" + version + "\" title=\"" +
           title + "\"><path>http://downloads.example/stavimor-" + version +
           ".tar.gz</path></release></releases>";
}

void UpdateTest::updateAnswer_data()
{
    QTest::addColumn<QString>("running");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");          // 0: connection refused, -1: no address stored
    QTest::addColumn<QString>("versionLine"); // empty: no update
    QTest::addColumn<QString>("opened");      // by "download", empty: nothing
    const QByteArray noPath = "<r><release version=\"2\" title=\"x\"/></r>";
    const QByteArray local = "<r><release version=\"2\" title=\"x\"><path>file:///bin/sh</path>"
                             "</release></r>";
    const QString site = "http://downloads.example/stavimor-";
    // clang-format off
    QTest::newRow("same version") << "0.5" << release("0.5") << 200 << "" << "";
    QTest::newRow("slightly newer") << "0.5" << release("0.51", "Cedar") << 200
            << "version Cedar 0.51" << site + "0.51.tar.gz";
    QTest::newRow("running version with a word") << "beta 0.5.2" << release("0.1") << 200
            << "version Stavimor 0.1" << site + "0.1.tar.gz";
    QTest::newRow("without path") << "0.5" << noPath << 200 << "version x 2" << "";
    QTest::newRow("local file is not opened") << "0.5" << local << 200 << "version x 2" << "";
    QTest::newRow("not XML") << "0" << QByteArray("version=9") << 200 << "" << "";
    QTest::newRow("not found") << "0" << QByteArray("<html><p>missing</p></html>") << 404 << ""
            << "";
    QTest::newRow("error status with a release in its body") << "0" << release("9") << 500 << ""
            << "";
    QTest::newRow("connection refused") << "0" << QByteArray() << 0 << "" << "";
    QTest::newRow("no address: the check never ends") << "0" << QByteArray() << -1 << "" << "";
    // clang-format on
}

void UpdateTest::updateAnswer()
{
    QFETCH(QString, running);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, versionLine);
    QFETCH(QString, opened);

    QCoreApplication::setApplicationVersion(running);
    server.setResponse("/update.xml", body, status);
    setUpdateUrl(status > 0 ? server.url("/update.xml").toString()
                            : LoopbackHttpServer::refusedUrl("/update.xml").toString());
    if (status < 0)
        QVERIFY_SQL(db, "DELETE FROM infos");

    MessageCapture capture;
    MAJDialog dialog;
    QVERIFY(!dialog.isEnabled());
    dialog.show();
    if (status < 0) {
        QTest::qWait(300);
        QVERIFY(!dialog.isEnabled());
        QVERIFY(dialog.isVisible());
        QVERIFY(!capture.contains("finish"));
        return;
    }
    QTRY_VERIFY(capture.contains("finish"));
    QVERIFY(dialog.isEnabled());
    QCOMPARE(server.requests(), status ? QStringList{"/update.xml"} : QStringList());
    auto *title = dialog.findChild<QLabel *>("titleLabel");
    auto *version = dialog.findChild<QLabel *>("versionLabel");
    auto *download = dialog.findChild<QPushButton *>("downloadButton");
    if (versionLine.isEmpty()) {
        QVERIFY(capture.contains("No update avaible"));
        QVERIFY(!dialog.isVisible());
        QVERIFY(!download->isEnabled());
        QCOMPARE(title->text(), QString("No Update"));
        QCOMPARE(version->text(), QString("you have already the latest version "));
        return;
    }
    QVERIFY(capture.contains("Update avaible"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(title->text(), QString("Update Avaible"));
    QCOMPARE(version->text(), versionLine);
    QTest::mouseClick(download, Qt::LeftButton);
    QCOMPARE(openedUrls, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
    QVERIFY(dialog.isVisible());
    QTest::mouseClick(dialog.findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
}

void UpdateTest::download_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");   // 0: connection refused
    QTest::addColumn<QString>("name"); // as the label shows it
    QTest::addColumn<bool>("saved");   // else rejected, nothing written
    // clang-format off
    QTest::newRow("good answer") << "/files/module.so" << QByteArray("\x7f" "ELF body", 9)
            << 200 << "module.so" << true;
    QTest::newRow("query is not part of the name") << "/files/get.xml?id=3"
            << QByteArray("<a/>") << 200 << "get.xml" << true;
    QTest::newRow("not found") << "/files/keep.txt" << QByteArray("<html>gone</html>") << 404
            << "keep.txt" << false;
    QTest::newRow("connection refused") << "/files/keep.txt" << QByteArray() << 0 << "keep.txt"
            << false;
    QTest::newRow("ends in a slash") << "/files/" << QByteArray("listing") << 200 << "" << false;
    QTest::newRow("encoded slashes") << "/files/..%2F..%2Fescaped.txt" << QByteArray("x") << 200
            << "escaped.txt" << true;
    QTest::newRow("encoded dots") << "/files/%2E%2E" << QByteArray("x") << 200 << "" << false;
    QTest::newRow("encoded NUL") << "/files/keep.txt%00.html" << QByteArray("x") << 200 << ""
            << false;
    QTest::newRow("line break") << "/files/a%0Ab.txt" << QByteArray("x") << 200 << "" << false;
    QTest::newRow("name too long") << "/files/" + QString(300, 'n') << QByteArray("x") << 200
            << QString(300, 'n') << false;
    // clang-format on
}

void UpdateTest::download()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, name);
    QFETCH(bool, saved);

    // A file of the same name that must survive a failed download.
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
    QStringList files{"keep.txt"};
    if (saved && name != "keep.txt")
        files << name;
    files.sort();
    QCOMPARE(work.entryList(QDir::Files), files);
    QFile keep(work.absoluteFilePath("keep.txt"));
    QVERIFY(keep.open(QIODevice::ReadOnly));
    QCOMPARE(keep.readAll(), QByteArray("precious"));
    QFile file(dialog.savedFilePath);
    if (saved)
        QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == body);
    // Nothing ever lands outside the working directory.
    QVERIFY(!QFile::exists(work.absoluteFilePath("../escaped.txt")));
}

void UpdateTest::slowBody_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("received whole") << false;
    QTest::newRow("cancelled once the body arrives") << true;
}

// A body in pieces moves the bar up step by step; "cancel" aborts the request and saves nothing.
void UpdateTest::slowBody()
{
    QFETCH(bool, cancel);
    LoopbackHttpServer::Response response;
    response.body = QByteArray(40000, 'x');
    response.pieces = cancel ? 10 : 4;
    response.pauseMs = cancel ? 200 : 150;
    server.setResponse("/files/slow.bin", response);
    const QString saved = QDir(workDir.path()).absoluteFilePath("slow.bin");
    QFile::remove(saved);

    MessageCapture capture;
    DownloaderDialog dialog;
    auto *bar = dialog.findChild<QProgressBar *>("progressBar");
    QList<int> values;
    connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
        values << value;
        if (cancel && value > 0 && value < 100)
            QTest::mouseClick(dialog.findChild<QPushButton *>("pushButton"), Qt::LeftButton);
    });
    dialog.startDownload(server.url("/files/slow.bin"));
    QTimer::singleShot(10000, &dialog, &QDialog::reject);
    QCOMPARE(dialog.exec(), int(cancel ? QDialog::Rejected : QDialog::Accepted));
    for (int i = 1; i < values.size(); ++i)
        QVERIFY(values.at(i) > values.at(i - 1));
    if (cancel) {
        QVERIFY(bar->value() < 100);
        QTRY_COMPARE(server.cutOffAnswers(), 1);
        QVERIFY(!QFile::exists(saved));
        QVERIFY(!capture.contains("save"));
        return;
    }
    QCOMPARE(values.last(), 100);
    QVERIFY(std::count_if(values.cbegin(), values.cend(), [](int v) { return v > 0 && v < 100; }) >=
            2);
    QCOMPARE(QFileInfo(saved).size(), qint64(40000));
}

QTEST_MAIN(UpdateTest)
#include "tst_update.moc"
