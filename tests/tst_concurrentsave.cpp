#include <QSemaphore>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

#include "db/sqlunitofwork.h"
#include "messagecapture.h"
#include "model/extmodel.h"
#include "testdatabase.h"
#include "testhelpers.h"

// Two workstations on one table: a save never silently overwrites what the other one wrote
// since the row was read, and a transaction the server gives up for a concurrent one runs again
// a bounded number of times.
class ConcurrentSaveTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QVERIFY_DB(db, addAuditTrail);
        alice = db.addUser("alice", "a");
        TestHelpers::logIn(alice);
    }

    // Row 2 was reviewed before.
    void init()
    {
        QVERIFY_SCRIPT(db, R"(DROP TABLE IF EXISTS tstconc;
    CREATE TABLE tstconc (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40),
      amount INT, group_id INT);
    INSERT INTO tstconc VALUES (1, 'Anna', 10, 0), (2, 'Bert', 20, 0), (3, 'Cleo', 30, 0);
    DELETE FROM ext_records; DELETE FROM ext_records_fields;
    INSERT INTO ext_records (id, table_name, table_id, created, modified) VALUES
      (20, 'tstconc', 2, '2026-01-01 10:00:00', '2026-01-02 10:00:00');
    INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (20, 'name', 1))");
        auditBefore = db.scalar("SELECT COALESCE(MAX(id), 0) FROM ext_records_audit").toLongLong();
    }

    void cleanupTestCase() { db.drop(); }
    void changeElsewhereIsNotOverwritten_data()
    {
        QTest::addColumn<QStringList>("beforeLoad");
        QTest::addColumn<QStringList>("elsewhere");
        QTest::addColumn<QString>("ownChange");
        QTest::addColumn<bool>("refused");

        const QStringList value = {"UPDATE tstconc SET name = 'Other' WHERE id = 2"};
        const QStringList deleted = {"DELETE FROM tstconc WHERE id = 2"};
        // clang-format off
        QTest::newRow("value changed, own edit") << QStringList() << value << "edit" << true;
        QTest::newRow("value changed, own delete") << QStringList() << value << "delete" << true;
        QTest::newRow("metadata restamped, own state") << QStringList() << QStringList{"UPDATE ext_records SET modified = '2026-01-03 10:00:00' WHERE id = 20"} << "state" << true;
        QTest::newRow("row deleted, own edit") << QStringList() << deleted << "edit" << true;
        // What the user wanted is done; nothing of the other workstation is lost.
        QTest::newRow("row deleted, own delete") << QStringList() << deleted << "delete" << false;
        // A save within the same second as the one read: only the metadata row's id tells.
        QTest::newRow("metadata rewritten in the same second") << QStringList() << QStringList{"DELETE FROM ext_records WHERE id = 20", "INSERT INTO ext_records (id, table_name, table_id, created, modified) VALUES (21, 'tstconc', 2, '2026-01-01 10:00:00', '2026-01-02 10:00:00')"} << "edit" << true;
        QTest::newRow("first review of a row read without one") << QStringList{"DELETE FROM ext_records"} << QStringList{"INSERT INTO ext_records (id, table_name, table_id) VALUES (21, 'tstconc', 2)"} << "state" << true;
        // clang-format on
    }

    void changeElsewhereIsNotOverwritten()
    {
        QFETCH(QStringList, beforeLoad);
        QFETCH(QStringList, elsewhere);
        QFETCH(QString, ownChange);
        QFETCH(bool, refused);
        for (const QString &statement : beforeLoad)
            exec(statement);

        ExtModel model("tstconc");
        QVERIFY(model.select());
        const int name = 2 + model.columnRecord.indexOf("name");
        const int before = rowOf(model, 1);
        const int conflicting = rowOf(model, 2);
        const int after = rowOf(model, 3);
        QVERIFY(before < conflicting && conflicting < after);
        for (const QString &statement : elsewhere)
            exec(statement);
        const QString leftElsewhere = rowSnapshot(2);
        QVERIFY(model.setData(model.index(before, name), "Ada"));
        if (ownChange == "edit")
            QVERIFY(model.setData(model.index(conflicting, name), "Mine"));
        else if (ownChange == "state")
            model.setState(conflicting, model.columnRecord.indexOf("amount"), -1);
        else
            QVERIFY(model.removeRecord(conflicting));
        QVERIFY(model.setData(model.index(after, name), "Cora"));

        QSignalSpy failed(&model, &ExtModel::saveFailed);
        QCOMPARE(model.save(), !refused);
        QCOMPARE(rowSnapshot(2), leftElsewhere);
        if (!refused) {
            QCOMPARE(db.count("tstconc", "name IN ('Ada', 'Cora')"), 2);
            return;
        }
        QCOMPARE(model.message, QString(ownChange == "delete" ? "error, cannot delete item 2"
                                                              : "error, cannot save item 2"));
        QCOMPARE(failed.constLast().at(1).toString(),
                 QString("the row was changed or deleted on another workstation since it was "
                         "loaded; refresh to see that change"));
        // The refused row stays pending; row 2 is as the other workstation left it, with no trail
        // of the refused change; the save stopped there.
        QVERIFY(model.records.at(conflicting)->dirty || model.records.at(conflicting)->deleted);
        QCOMPARE(rowSnapshot(3), QString("3/Cleo/30 |  | 0"));
    }

    void lockedRowIsRetried_data()
    {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<bool>("saved");

        // Each attempt waits one second for the lock.
        QTest::newRow("released during the retries") << 1500 << true;
        QTest::newRow("held past every attempt")
            << (SqlUnitOfWork::maxAttempts + 2) * 1000 << false;
    }

    void lockedRowIsRetried()
    {
        QFETCH(int, holdMs);
        QFETCH(bool, saved);
        ExtModel model("tstconc");
        QVERIFY(model.select());
        const int row = rowOf(model, 1);
        QVERIFY(model.setData(model.index(row, 3), "Ada"));
        model.setState(row, model.columnRecord.indexOf("name"), 1);
        QSqlQuery session;
        QVERIFY(session.exec("SET SESSION innodb_lock_wait_timeout = 1"));

        // Another workstation holds the row locked inside its transaction for a while, and writes a
        // metadata row of its own meanwhile.
        QSemaphore locked;
        QString otherError;
        QThread *other = QThread::create([&] {
            {
                QSqlDatabase connection = db.connection("holder");
                QSqlQuery query(connection);
                if (!connection.open() || !connection.transaction() ||
                    !query.exec("SELECT * FROM tstconc WHERE id = 1 FOR UPDATE") ||
                    !query.exec("INSERT INTO ext_records (id, table_name, table_id) VALUES (21, "
                                "'elsewhere', 77)"))
                    otherError = query.lastError().text() + connection.lastError().text();
                locked.release();
                QThread::msleep(holdMs);
                connection.commit();
                connection.close();
            }
            QSqlDatabase::removeDatabase("holder");
        });
        other->start();
        locked.acquire();
        QVERIFY2(otherError.isEmpty(), qPrintable(otherError));

        MessageCapture capture;
        QSignalSpy failed(&model, &ExtModel::saveFailed);
        const bool ok = model.save();
        other->wait();
        delete other;
        QVERIFY(session.exec("SET SESSION innodb_lock_wait_timeout = DEFAULT"));

        QCOMPARE(ok, saved);
        const int retries = capture.lines().filter("retrying the save of a row after: ").size();
        if (saved) {
            QVERIFY(retries >= 1 && retries < SqlUnitOfWork::maxAttempts);
            QCOMPARE(db.count("tstconc", "id = 1 AND name = 'Ada'"), 1);
            // The saved row's state pairs with the metadata row the server gave it.
            QCOMPARE(db.count("ext_records_fields",
                              "ext_record_id = (SELECT id FROM ext_records WHERE "
                              "table_name = 'tstconc' AND table_id = 1)"),
                     1);
            QCOMPARE(db.count("ext_records", "id = 21 AND table_name = 'elsewhere'"), 1);
            return;
        }
        QCOMPARE(retries, SqlUnitOfWork::maxAttempts - 1);
        QCOMPARE(model.message, QString("error, cannot save item 1"));
        QVERIFY(failed.constLast().at(1).toString().contains("Lock wait timeout"));
        QCOMPARE(db.count("tstconc", "id = 1 AND name = 'Anna'"), 1);
        QCOMPARE(db.count("ext_records", "table_id = 1"), 0);
        // Once the lock is gone the pending row saves.
        QVERIFY(model.save());
        QCOMPARE(db.count("tstconc", "id = 1 AND name = 'Ada'"), 1);
    }

private:
    void exec(const QString &sql) { QVERIFY_SQL(db, sql); }
    // The data row, its metadata and its trail, as text.
    QString rowSnapshot(int id) const
    {
        const QString of = "table_name = 'tstconc' AND table_id = " + QString::number(id);
        return QStringList{
            db.scalar("SELECT CONCAT_WS('/', id, name, amount) FROM tstconc WHERE id = " +
                      QString::number(id))
                .toString(),
            db.scalar("SELECT GROUP_CONCAT(CONCAT_WS('/', id, modified, (SELECT GROUP_CONCAT("
                      "CONCAT_WS('/', field_name, state)) FROM ext_records_fields WHERE "
                      "ext_record_id = e.id)) ORDER BY id) FROM ext_records e WHERE " +
                      of)
                .toString(),
            QString::number(
                db.count("ext_records_audit", of + " AND id > " + QString::number(auditBefore)))}
            .join(" | ");
    }

    static int rowOf(const ExtModel &model, int id) { return TestHelpers::rowOf(model, id); }

    TestDatabase db;
    int alice = 0;
    // The trail cannot be emptied: each test reads what came after this.
    qlonglong auditBefore = 0;
};

QTEST_MAIN(ConcurrentSaveTest)
#include "tst_concurrentsave.moc"
