#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLabel>
#include <QSqlRecord>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/savedqueries.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "loopbackhttpserver.h"
#include "modalanswer.h"
#include "modules/getmoduledialog.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"
#include "update/downloaderdialog.h"

// Hostile and broken input not covered beside its feature: each gives a clear error or a safe
// result, and loses nothing.
class HostileInputTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QVERIFY(server.listen());
        QVERIFY_SQL(db,
                    "CREATE TABLE limits (id INT PRIMARY KEY, label VARCHAR(16), amount INT, day "
                    "DATE, group_id INT)");
        QSettings().setValue("network/timeout", 1);
        // Rows of group 0 are seen by anyone logged in.
        const int editor = db.addUser("editor", "secret");
        Stavimor::instance()->userManager->setCurrentUser(UserManager::user(editor));
    }

    void cleanupTestCase() { db.drop(); }

    void loginNames_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("found");
        const QString nul = QString("ali") + QChar(0) + "ce";
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80 \xC3\xA9mile \xF0\x9D\x84\x9E");
        QTest::newRow("NUL in the name") << nul << nul << true;
        QTest::newRow("outside the BMP") << emoji << emoji << true;
        QTest::newRow("quote escaped by a backslash") << "q"
                                                      << "q\\' OR 1=1 -- " << false;
    }

    void loginNames()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, found);
        QVERIFY(db.exec("DELETE FROM users WHERE username <> 'editor'"));
        QVERIFY(db.addUser(stored, "\xF0\x9F\x94\x91") > 0);
        const QByteArray key =
            QCryptographicHash::hash("\xF0\x9F\x94\x91", QCryptographicHash::Md5);
        const QSqlRecord user = UserManager::login(typed, key.toHex());
        QCOMPARE(user.value("username").toString(), found ? stored : QString());
        QCOMPARE(db.count("users"), 2);
    }

    void refusedQueryKeepsTheSavedOne()
    {
        QVERIFY(SavedQueries::save("report's \"best\"", "SELECT 1", 1));
        // The column holds 64 KB: the server refuses the new text.
        QVERIFY(!SavedQueries::save("report's \"best\"", QString(1024 * 1024, 'x'), 1));
        QCOMPARE(db.scalar("SELECT query FROM querys WHERE name='report''s \"best\"'").toString(),
                 QString("SELECT 1"));
        QCOMPARE(db.count("querys"), 1);
    }

    void schemas_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("said"); // part of the reason

        const QString secret = dir.filePath("secret.txt");
        QVERIFY(TestHelpers::writeFile(secret, "TOPSECRET"));
        const QByteArray entry = "<f name=\"label\"><label>Label</label></f>";
        QTest::newRow("nested 10,000 deep")
            << "<s><fields>" + QByteArray("<a>").repeated(10000) +
                   QByteArray("</a>").repeated(10000) + "</fields></s>"
            << "nested deeper";
        QTest::newRow("50 MB") << "<s><fields>" + entry + QByteArray("<f/>").repeated(13107200) +
                                      "</fields></s>"
                               << "larger than";
        QTest::newRow("external entity")
            << "<!DOCTYPE s [<!ENTITY x SYSTEM \"file://" + secret.toUtf8() +
                   "\">]><s><fields><f name=\"label\"><label>&x;</label></f></fields></s>"
            << "document type";
        QByteArray laughs = "<!DOCTYPE s [<!ENTITY l0 \"ha\">";
        for (int i = 1; i < 10; ++i)
            laughs += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                      ("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
        QTest::newRow("billion laughs")
            << laughs + "]><s><fields><f name=\"label\"><label>&l9;</label></f></fields></s>"
            << "document type";
    }

    void schemas()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, said);
        ExtTableEditor editor(writeSchema(content));
        QElapsedTimer clock;
        clock.start();
        editor.refresh();
        QVERIFY(clock.elapsed() < 20000);
        const QString shown = editor.statusBar()->currentMessage();
        QVERIFY2(shown.startsWith("cannot read the table schema "), qPrintable(shown));
        QVERIFY2(shown.contains(said), qPrintable(shown));
        QVERIFY(!shown.contains("TOPSECRET"));
    }

    // The network readers share one limit; the module catalogue stands for them.
    void networkAnswers_data()
    {
        QTest::addColumn<bool>("slow"); // else far too large
        QTest::addColumn<QString>("said");
        QTest::newRow("slow") << true << "no complete answer within 1 seconds";
        QTest::newRow("3 MB") << false << "larger than 2097152 bytes";
    }

    void networkAnswers()
    {
        QFETCH(bool, slow);
        QFETCH(QString, said);
        const QByteArray body = "<m><module title=\"A\" version=\"1\"><path>x</path></module>";
        server.setResponse(
            "/answer",
            {200, body + (slow ? QByteArray("</m>") : QByteArray("<!-- pad -->").repeated(1 << 18)),
             slow ? 3 : 1, 1500});
        QVERIFY(db.exec("DELETE FROM infos"));
        QVERIFY(db.exec("INSERT INTO infos (module_update_url, version) VALUES ('" +
                        server.url("/answer").toString() + "', '1')"));
        GetModuleDialog dialog;
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isEnabled(), 10000);
        auto *message = dialog.findChild<QLabel *>("messageLabel");
        QVERIFY(message->isVisibleTo(&dialog));
        QVERIFY2(message->text().contains(said), qPrintable(message->text()));
        QCOMPARE(dialog.findChild<QTreeWidget *>("treeWidget")->topLevelItemCount(), 0);
    }

    void stalledDownload()
    {
        server.setResponse("/files/stalled.bin", {200, QByteArray(3000, 'x'), 3, 2500});
        QTemporaryDir target;
        const QString saved = QDir::currentPath();
        QDir::setCurrent(target.path());
        DownloaderDialog dialog;
        QSignalSpy rejected(&dialog, &QDialog::rejected);
        dialog.show();
        dialog.startDownload(server.url("/files/stalled.bin"));
        ModalAnswer box(ModalAnswer::accept(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rejected.count(), 1, 10000);
        QDir::setCurrent(saved);
        QVERIFY(box.answered());
        QVERIFY2(box.text().contains("nothing received for 1 seconds"), qPrintable(box.text()));
        QVERIFY(QDir(target.path()).isEmpty());
    }

    // A value the cell takes but the column cannot hold fails the save of its row, which stays
    // pending; nothing is cut or changed on the way.
    void valueTheColumnRefuses()
    {
        QVERIFY(db.exec("DELETE FROM limits"));
        QVERIFY(db.exec("INSERT INTO limits VALUES (1, 'one', 1, '2024-01-01', 0)"));
        ExtXmlModel model(writeSchema("<s><fields/></s>"));
        QVERIFY(model.load());
        QVERIFY(model.setData(model.index(0, 5), "2024-02-30"));
        QVERIFY(!model.save());
        QCOMPARE(db.scalar("SELECT CONCAT_WS('/', label, amount, day) FROM limits").toString(),
                 QString("one/1/2024-01-01"));
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QString("*"));
        QVERIFY(model.message.startsWith("error, cannot save item"));
        QCOMPARE(model.index(0, 5).data(), QVariant("2024-02-30"));
    }

    // A table and a column whose names carry a quote and a backtick (a schema file may be named
    // so), and a value with both, through the save, its metadata and audit trail, and a reload.
    void quotedNamesThroughSaveAndHistory()
    {
        QVERIFY(db.exec("CREATE TABLE `o'rd``ers` (id INT PRIMARY KEY, `la'bel` VARCHAR(64), "
                        "group_id INT)"));
        QVERIFY(db.exec("INSERT INTO `o'rd``ers` VALUES (1, 'plain', 0)"));
        const QString path = dir.filePath("o'rd`ers.xml");
        QVERIFY(TestHelpers::writeFile(
            path, "<s><fields><f name=\"la'bel\"><label>L</label></f></fields></s>"));
        const QString value = "it's a \\' OR 1=1; DROP TABLE users; --";
        ExtXmlModel model(path);
        QVERIFY(model.load());
        QVERIFY(model.setData(model.index(0, 3), value));
        model.setState(0, 1, 2);
        QVERIFY(model.save());
        QCOMPARE(model.index(0, 3).data().toString(), value);
        QCOMPARE(model.records.at(0)->state(1), 2);
        QCOMPARE(db.scalar("SELECT `la'bel` FROM `o'rd``ers`").toString(), value);
        QCOMPARE(
            db.scalar("SELECT CONCAT(e.table_name, '.', field_name) FROM ext_records_fields ef, "
                      "ext_records e WHERE e.id = ef.ext_record_id AND e.table_name LIKE 'o%'")
                .toString(),
            QString("o'rd`ers.la'bel"));
        QCOMPARE(db.scalar("SELECT new_value FROM ext_records_audit WHERE table_name = 'o''rd`ers' "
                           "AND field_name = 'la''bel'")
                     .toString(),
                 value);
        QVERIFY(db.count("users") > 0);
    }

private:
    QString writeSchema(const QByteArray &content)
    {
        const QString path = dir.filePath("limits.xml");
        return TestHelpers::writeFile(path, content) ? path : QString();
    }

    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
    QTemporaryDir dir;
};

QTEST_MAIN(HostileInputTest)
#include "tst_hostileinput.moc"
