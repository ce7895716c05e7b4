#include <QTemporaryDir>
#include <QtTest>

#include "editor/extxmlmodel.h"
#include "messagecapture.h"
#include "testdatabase.h"
#include "testhelpers.h"

// A table opened through its schema file, against the real server: labels, relations, the
// table taken from the file name, unreadable schemas and hostile file names.
class ExtXmlModelTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        alice = db.addUser("alice", "x");
        bob = db.addUser("bob", "x");
        const int nord = db.addGroup("Nord");
        sud = db.addGroup("Sud");
        db.addMembership(nord, alice);
        db.addMembership(sud, bob);
        QVERIFY_SCRIPT(
            db, QString("CREATE TABLE Orders (id INT PRIMARY KEY, customer_id INT, "
                        "name VARCHAR(64), group_id INT NULL);"
                        "INSERT INTO Orders VALUES (1, 1, 'first', NULL), (2, 2, 'second', 0), "
                        "(3, 1, 'third', %1), (4, 2, 'fourth', %2);"
                        "CREATE TABLE customers (id INT PRIMARY KEY, name VARCHAR(64));"
                        "INSERT INTO customers VALUES (1, 'Acme'), (2, 'Bolt');"
                        "CREATE TABLE victims (id INT PRIMARY KEY, name VARCHAR(64), group_id INT);"
                        "INSERT INTO victims VALUES (1, 'a', 0), (2, 'b', 0);")
                    .arg(nord)
                    .arg(sud));
        TestHelpers::logIn(alice);
    }

    void cleanupTestCase() { db.drop(); }

    void relations_data()
    {
        QTest::addColumn<QString>("relation");
        QTest::addColumn<QStringList>("parts");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("complete") << "<tablename>customers</tablename><indexColumn>id</indexColumn>"
                                     "<displayColumn>name</displayColumn>"
                                  << QStringList{"customers", "id", "name"}
                                  << QStringList{"Acme", "Acme", "Bolt"};
        QTest::newRow("no display column")
            << "<tablename>customers</tablename><indexColumn>id</indexColumn>"
            << QStringList{"customers", "id", ""} << QStringList{"1", "1", "2"};
        QTest::newRow("hostile display column")
            << "<tablename>customers</tablename><indexColumn>id</indexColumn>"
               "<displayColumn>name FROM customers; DROP TABLE customers; --</displayColumn>"
            << QStringList{"customers", "id", "name FROM customers; DROP TABLE customers; --"}
            << QStringList{"", "", ""};
    }

    void relations()
    {
        QFETCH(QString, relation);
        QFETCH(QStringList, parts);
        QFETCH(QStringList, shown);
        ExtXmlModel model(
            writeSchema("Orders.xml", "<s><fields><f name=\"customer_id\"><relation>" + relation +
                                          "</relation></f></fields></s>"));
        QVERIFY(model.load());
        const QSqlRelation stored = model.relation(1);
        QCOMPARE((QStringList{stored.tableName(), stored.indexColumn(), stored.displayColumn()}),
                 parts);
        QCOMPARE(column(model, 3), shown);
        QCOMPARE(db.count("customers"), 2); // the hostile display column ran nothing
    }

    void tableFromFileName_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        // clang-format off
        QTest::newRow("everything from the first dot on dropped") << "Orders.old.v2.xml" << "Orders"
                << 6 << 3;
        QTest::newRow("no such table") << "nosuch.xml" << "nosuch" << 2 << 0;
        for (const QString quote : {"`", "'", "\""}) {
            const QString table = "victims" + quote + "; DROP TABLE victims; --";
            QTest::addRow("%s in the name", qPrintable(quote)) << table + ".xml" << table << 2 << 0;
        }
        // clang-format on
    }

    void tableFromFileName()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, table);
        QFETCH(int, columns);
        QFETCH(int, rows);
        ExtXmlModel model(writeSchema(fileName, "<s><fields><f name=\"id\"/></fields></s>"));
        QVERIFY(model.load());
        QCOMPARE(model.tableName, table);
        QCOMPARE(model.columnCount(), columns);
        QCOMPARE(model.rowCount(), rows);
        QCOMPARE(db.count("victims"), 2);
    }

    // The rows visible to the user logged in at each load or select.
    void visibilityStatement()
    {
        ExtXmlModel model(writeSchema("Orders.xml", "<s/>"));
        TestHelpers::logIn(bob);
        QVERIFY(model.load());
        TestHelpers::logIn(alice);
        QCOMPARE(column(model, 2), (QStringList{"1", "2", "4"}));
        QVERIFY(model.select());
        QCOMPARE(column(model, 2), (QStringList{"1", "2", "3"}));
    }

    // Labels matched to columns ignoring case, with all the text of the label; a load reads the
    // file again, and entries no longer in it keep what an earlier load stored.
    void labelsAndReload()
    {
        const QString fileName =
            writeSchema("Orders.xml",
                        "<?xml version=\"1.0\"?><s><fields><!-- note --><f name=\"NAME\"><label>"
                        "Order <b>name</b></label></f><f name=\"customer_id\"><relation><tablename>"
                        "customers</tablename><indexColumn>id</indexColumn><displayColumn>name"
                        "</displayColumn></relation></f></fields></s>");
        ExtXmlModel model(fileName);
        QVERIFY(model.load() && model.load());
        QCOMPARE(headers(model), (QStringList{"id", "customer_id", "Order name", "group_id"}));
        QCOMPARE(model.rowCount(), 3);
        writeSchema("Orders.xml", "<s><fields><f name=\"id\"><label>B</label></f></fields></s>");
        QVERIFY(model.load());
        QCOMPARE(headers(model), (QStringList{"B", "customer_id", "Order name", "group_id"}));
        QCOMPARE(column(model, 3), (QStringList{"Acme", "Acme", "Bolt"}));
    }

    void unreadableSchema_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("opens");
        const QString data = STAVIMOR_TEST_DATA "/schemas/";
        QTest::newRow("missing") << data + "Orders.missing.xml" << false;
        QTest::newRow("unclosed element") << data + "Orders.unclosed.xml" << true;
    }

    void unreadableSchema()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, opens);
        ExtXmlModel model(fileName);
        MessageCapture capture;
        QVERIFY(!model.load());
        QCOMPARE(model.tableName, QString("Orders"));
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(capture.contains("cannot open file"), !opens);
        QCOMPARE(capture.lines().filter(QRegularExpression("^cannot parse xml \".+\"$")).size(),
                 opens ? 1 : 0);
    }

private:
    QString writeSchema(const QString &name, const QString &xml)
    {
        return TestHelpers::writeFile(dir.filePath(name), xml.toUtf8()) ? dir.filePath(name)
                                                                        : QString();
    }

    static QStringList headers(const ExtModel &model);
    static QStringList column(const ExtModel &model, int column);

    TestDatabase db;
    QTemporaryDir dir;
    int alice = 0;
    int bob = 0;
    int sud = 0;
};

QStringList ExtXmlModelTest::headers(const ExtModel &model)
{
    QStringList texts;
    for (int section = 2; section < model.columnCount(); ++section)
        texts << model.headerData(section, Qt::Horizontal).toString();
    return texts;
}

QStringList ExtXmlModelTest::column(const ExtModel &model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, column).data().toString();
    texts.sort();
    return texts;
}

QTEST_MAIN(ExtXmlModelTest)
#include "tst_extxmlmodel.moc"
