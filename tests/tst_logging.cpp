#include <QLoggingCategory>
#include <QSqlRecord>
#include <QtTest>

#include "db/sqlhelper.h"
#include "messagecapture.h"
#include "testdatabase.h"

// The terminal stays quiet: the statements with the rows' values and the trace reach a message
// handler only when their category is turned on. Runs without the rule the other tests set.
class LoggingTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY_CREATE(db); }
    void cleanupTestCase() { db.drop(); }
    void debugLinesOnlyWhenAsked_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<bool>("shown");
        QTest::newRow("by default") << QString() << false;
        QTest::newRow("stavimor.sql on") << "stavimor.sql.debug=true" << true;
        QTest::newRow("stavimor.app on only") << "stavimor.app.debug=true" << false;
    }

    void debugLinesOnlyWhenAsked()
    {
        QFETCH(QString, rules);
        QFETCH(bool, shown);
        QLoggingCategory::setFilterRules(rules);
        MessageCapture capture;
        QSqlRecord record = SqlHelper::emptyRecord("groups");
        record.setValue("name", "secret row");
        QVERIFY(SqlHelper::insert("groups", record));
        QCOMPARE(!capture.lines().filter("secret row").isEmpty(), shown);
        // Warnings are never held back.
        qWarning("a warning");
        QVERIFY(capture.contains("a warning"));
    }

private:
    TestDatabase db;
};

QTEST_MAIN(LoggingTest)
#include "tst_logging.moc"
