#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSqlRecord>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "editor/googlemapmodel.h"
#include "loopbackhttpserver.h"
#include "modalanswer.h"
#include "modules/getmoduledialog.h"
#include "db/savedqueries.h"
#include "testdatabase.h"
#include "testsettings.h"
#include "update/downloaderdialog.h"
#include "update/majdialog.h"

// Hostile and broken input not covered beside its feature: each gives a clear error or a safe
// result, and loses nothing.
class HostileInputTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void loginNames_data();
    void loginNames();
    void refusedQueryKeepsTheSavedOne();
    void schemas_data();
    void schemas();
    void networkAnswers_data();
    void networkAnswers();
    void stalledDownload();
    void cellLimits_data();
    void cellLimits();
    void quotedNamesThroughSaveAndHistory();

private:
    QString writeSchema(const QByteArray &content);

    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
    QTemporaryDir dir;
};

namespace {
QString md5(const QString &text)
{
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex();
}
} // namespace

void HostileInputTest::initTestCase()
{
    QString error;
    QVERIFY2(db.create(&error), qPrintable(error));
    QVERIFY(server.listen());
    QVERIFY2(db.exec("CREATE TABLE limits (id INT PRIMARY KEY, label VARCHAR(16), amount INT, "
                     "day DATE, group_id INT)",
                     &error),
             qPrintable(error));
    QSettings().setValue("network/timeout", 1);
    // Rows of group 0 are seen by anyone logged in.
    const int editor = db.addUser("editor", "secret");
    Stavimor::instance()->userManager->setCurrentUser(UserManager::user(editor));
    QSettings().setValue("geocoding/origin", server.url("").toString());
}

void HostileInputTest::cleanupTestCase()
{
    db.drop();
}

QString HostileInputTest::writeSchema(const QByteArray &content)
{
    const QString path = dir.filePath("limits.xml");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
        return QString();
    return path;
}

void HostileInputTest::loginNames_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("typedPassword");
    QTest::addColumn<bool>("found");
    const QString nul = QString("ali") + QChar(0) + "ce";
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80 \xC3\xA9mile \xF0\x9D\x84\x9E");
    QTest::newRow("NUL in the name") << nul << "secret" << nul << "secret" << true;
    QTest::newRow("name cut at the NUL") << nul << "secret"
                                         << "ali"
                                         << "secret" << false;
    QTest::newRow("outside the BMP")
        << emoji << "\xF0\x9F\x94\x91" << emoji << "\xF0\x9F\x94\x91" << true;
    QTest::newRow("outside the BMP, one character short")
        << emoji << "k" << emoji.chopped(2) << "k" << false;
    QTest::newRow("quote escaped by a backslash") << "q"
                                                  << "p"
                                                  << "q\\' OR 1=1 -- "
                                                  << "p" << false;
}

void HostileInputTest::loginNames()
{
    QFETCH(QString, stored);
    QFETCH(QString, password);
    QFETCH(QString, typed);
    QFETCH(QString, typedPassword);
    QFETCH(bool, found);
    QVERIFY(db.exec("DELETE FROM users WHERE username <> 'editor'"));
    QVERIFY(db.addUser(stored, password) > 0);
    const QSqlRecord user = UserManager::login(typed, md5(typedPassword));
    QCOMPARE(!user.isEmpty(), found);
    if (found)
        QCOMPARE(user.value("username").toString(), stored);
    QCOMPARE(db.count("users"), 2);
}

void HostileInputTest::refusedQueryKeepsTheSavedOne()
{
    QVERIFY(SavedQueries::save("report's \"best\"", "SELECT 1", 1));
    // The column holds 64 KB: the server refuses the new text.
    QVERIFY(!SavedQueries::save("report's \"best\"", QString(1024 * 1024, 'x'), 1));
    QCOMPARE(db.scalar("SELECT query FROM querys WHERE name='report''s \"best\"'").toString(),
             QString("SELECT 1"));
    QCOMPARE(db.count("querys"), 1);
}

void HostileInputTest::schemas_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("said"); // part of the reason

    QFile secret(dir.filePath("secret.txt"));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("TOPSECRET");
    secret.close();
    const QByteArray entry = "<f name=\"label\"><label>Label</label></f>";
    QTest::newRow("nested 10,000 deep") << "<s><fields>" + QByteArray("<a>").repeated(10000) +
                                               QByteArray("</a>").repeated(10000) + "</fields></s>"
                                        << "nested deeper";
    QTest::newRow("50 MB") << "<s><fields>" + entry + QByteArray("<f/>").repeated(13107200) +
                                  "</fields></s>"
                           << "larger than";
    QTest::newRow("external entity")
        << "<!DOCTYPE s [<!ENTITY x SYSTEM \"file://" + secret.fileName().toUtf8() +
               "\">]><s><fields><f name=\"label\"><label>&x;</label></f></fields></s>"
        << "document type";
    QTest::newRow("external DTD on the network")
        << "<!DOCTYPE s SYSTEM \"" + server.url("/evil.dtd").toEncoded() + "\"><s><fields>" +
               entry + "</fields></s>"
        << "document type";
    QByteArray laughs = "<!DOCTYPE s [<!ENTITY l0 \"ha\">";
    for (int i = 1; i < 10; ++i)
        laughs += QString("<!ENTITY l%1 \"%2\">")
                      .arg(i)
                      .arg(QString("&l%1;").arg(i - 1).repeated(10))
                      .toUtf8();
    QTest::newRow("billion laughs")
        << laughs + "]><s><fields><f name=\"label\"><label>&l9;</label></f></fields></s>"
        << "document type";
}

void HostileInputTest::schemas()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, said);
    server.clearRequests();
    ExtTableEditor editor(writeSchema(content));
    QElapsedTimer clock;
    clock.start();
    editor.refresh();
    QVERIFY(clock.elapsed() < 20000);
    QVERIFY(server.requests().isEmpty());
    const QString shown = editor.statusBar()->currentMessage();
    QVERIFY2(shown.startsWith("cannot read the table schema "), qPrintable(shown));
    QVERIFY2(shown.contains(said), qPrintable(shown));
    QVERIFY(!shown.contains("TOPSECRET"));
}

void HostileInputTest::networkAnswers_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<bool>("slow"); // else far too large
    QTest::addColumn<QString>("said");
    // The readers share one limit: each kind once, and each reader once.
    const QString slow = "no complete answer within 1 seconds";
    const QString large = "larger than 2097152 bytes";
    QTest::newRow("update slow") << "update" << true << slow;
    QTest::newRow("update 3 MB") << "update" << false << large;
    QTest::newRow("catalogue 3 MB") << "catalogue" << false << large;
    QTest::newRow("geocoding slow") << "geocoding" << true << slow;
}

void HostileInputTest::networkAnswers()
{
    QFETCH(QString, reader);
    QFETCH(bool, slow);
    QFETCH(QString, said);
    QByteArray body;
    if (reader == "update")
        body = "<releases><release version=\"99\" title=\"T\"><path>http://x/y</path></release>";
    else if (reader == "catalogue")
        body = "<m><module title=\"A\" version=\"1\"><path>http://x/y</path></module>";
    else
        body = "<GeocodeResponse><result><formatted_address>Road</formatted_address></result>";
    LoopbackHttpServer::Response response;
    if (!slow)
        body += QByteArray("<!-- padding -->").repeated(3 * 1024 * 1024 / 16);
    response.body = body + (slow ? "</x>" : "");
    if (slow) {
        response.pieces = 3;
        response.pauseMs = 1500;
    }
    server.setResponse("/answer", response);
    server.setResponse("/maps/api/geocode/xml", response);
    QVERIFY(db.exec("DELETE FROM infos"));
    QVERIFY(db.exec("INSERT INTO infos (module_update_url, app_update_url, version) VALUES ('" +
                    server.url("/answer").toString() + "', '" + server.url("/answer").toString() +
                    "', '1')"));
    QCoreApplication::setApplicationVersion("0.5");

    QString shown;
    int entries = -1;
    if (reader == "update") {
        MAJDialog dialog;
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isEnabled(), 10000);
        shown = dialog.findChild<QLabel *>("versionLabel")->text();
        QVERIFY(!dialog.findChild<QPushButton *>("downloadButton")->isEnabled());
    } else if (reader == "catalogue") {
        GetModuleDialog dialog;
        QTRY_VERIFY_WITH_TIMEOUT(dialog.isEnabled(), 10000);
        auto *message = dialog.findChild<QLabel *>("messageLabel");
        shown = message->isVisibleTo(&dialog) ? message->text() : QString();
        entries = dialog.findChild<QTreeWidget *>("treeWidget")->topLevelItemCount();
    } else {
        GoogleMapModel model;
        QSignalSpy reset(&model, &GoogleMapModel::layoutChanged);
        model.search("Road");
        QVERIFY(reset.wait(10000));
        shown = model.errorString;
        entries = model.rowCount();
    }
    QVERIFY2(shown.contains(said), qPrintable(shown));
    QVERIFY(entries <= 0);
}

void HostileInputTest::stalledDownload()
{
    LoopbackHttpServer::Response response;
    response.body = QByteArray(3000, 'x');
    response.pieces = 3;
    response.pauseMs = 2500;
    server.setResponse("/files/stalled.bin", response);
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

void HostileInputTest::cellLimits_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("taken");     // by the cell: its column's limits allow it
    QTest::addColumn<QString>("stored"); // as the server gives it back; empty: refused
    QTest::newRow("largest int") << 4 << QVariant(2147483647) << true << "2147483647";
    QTest::newRow("int overflow") << 4 << QVariant(qint64(1) << 40) << false << "";
    QTest::newRow("last date") << 5 << QVariant(QDate(9999, 12, 31)) << true << "9999-12-31";
    QTest::newRow("year 10000") << 5 << QVariant(QDate(10000, 1, 1)) << true << "";
    QTest::newRow("30 February as text") << 5 << QVariant("2024-02-30") << true << "";
    QTest::newRow("number as text") << 4 << QVariant("12abc") << false << "";
    QTest::newRow("text of the column's length")
        << 3 << QVariant(QString(16, 'w')) << true << QString(16, 'w');
    QTest::newRow("text one longer") << 3 << QVariant(QString(17, 'w')) << false << "";
}

// A value the column cannot hold is refused by the cell, or else fails the save of its row,
// which stays pending; nothing is cut or changed on the way.
void HostileInputTest::cellLimits()
{
    QFETCH(int, column);
    QFETCH(QVariant, value);
    QFETCH(bool, taken);
    QFETCH(QString, stored);
    QVERIFY(db.exec("DELETE FROM limits"));
    QVERIFY(db.exec("INSERT INTO limits VALUES (1, 'one', 1, '2024-01-01', 0)"));
    ExtXmlModel model(writeSchema("<s><fields/></s>"));
    QVERIFY(model.load());
    QCOMPARE(model.setData(model.index(0, column), value), taken);
    const QString field = model.columnRecord.fieldName(column - 2);
    const bool saved = model.save();
    const QString inDatabase = db.scalar("SELECT " + field + " FROM limits").toString();
    QVERIFY2(saved == (!stored.isEmpty() || !taken), qPrintable(inDatabase));
    if (!taken) {
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QString("0"));
    } else if (stored.isEmpty()) {
        QVERIFY(model.message.startsWith("error, cannot save item"));
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QString("*"));
        QCOMPARE(model.index(0, column).data(), value);
    }
    if (stored.isEmpty()) {
        const QStringList before = {"", "", "", "one", "1", "2024-01-01"};
        QCOMPARE(inDatabase, before.at(column));
    } else {
        QCOMPARE(inDatabase, stored);
    }
}

// A table and a column whose names carry a quote and a backtick (a schema file may be named so),
// and a value with both, through the save, its metadata and audit trail, and a reload.
void HostileInputTest::quotedNamesThroughSaveAndHistory()
{
    const QString table = "o'rd`ers";
    QVERIFY(db.exec("CREATE TABLE `o'rd``ers` (id INT PRIMARY KEY, `la'bel` VARCHAR(64), "
                    "group_id INT)"));
    QVERIFY(db.exec("INSERT INTO `o'rd``ers` VALUES (1, 'plain', 0)"));
    const QString path = dir.filePath(table + ".xml");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<s><fields><f name=\"la'bel\"><label>L</label></f></fields></s>");
    file.close();
    const QString value = "it's a \\' OR 1=1; DROP TABLE users; --";
    ExtXmlModel model(path);
    QVERIFY(model.load());
    QCOMPARE(model.rowCount(), 1);
    QVERIFY(model.setData(model.index(0, 3), value));
    model.setState(0, 1, 2);
    QVERIFY(model.save());
    QCOMPARE(model.index(0, 3).data().toString(), value);
    QCOMPARE(model.records.at(0)->state(1), 2);
    QCOMPARE(db.scalar("SELECT `la'bel` FROM `o'rd``ers`").toString(), value);
    QCOMPARE(db.scalar("SELECT table_name FROM ext_records WHERE table_id=1 AND table_name "
                       "LIKE 'o%'")
                 .toString(),
             table);
    QCOMPARE(db.scalar("SELECT field_name FROM ext_records_fields ef, ext_records e WHERE "
                       "e.id = ef.ext_record_id AND e.table_name = 'o''rd`ers'")
                 .toString(),
             QString("la'bel"));
    QCOMPARE(db.scalar("SELECT new_value FROM ext_records_audit WHERE table_name = 'o''rd`ers' "
                       "AND field_name = 'la''bel'")
                 .toString(),
             value);
    QVERIFY(db.count("users") > 0);
}

QTEST_MAIN(HostileInputTest)
#include "tst_hostileinput.moc"
