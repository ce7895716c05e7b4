#include <QtSql>
#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <functional>
#include <signal.h>

#include "admin/admindialog.h"
#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/connectionsettings.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "modalanswer.h"
#include "privatemariadb.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

namespace {
std::function<void(const QString &)> onDebugLine;
QtMessageHandler passOn = nullptr;

void watchDebugLines(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (onDebugLine)
        onDebugLine(text);
    passOn(type, context, text);
}

// Kills the server from another thread once the process list shows a statement matching
// condition: the program's thread is then blocked inside that statement. With a table named,
// holds a write lock on it meanwhile, so that the program's statement waits.
class KillWhenSeen
{
public:
    KillWhenSeen(qint64 pid, const QString &condition, const QString &lockedTable = QString())
        : thread(QThread::create([pid, condition, this] { watch(pid, condition); }))
    {
        if (!lockedTable.isEmpty()) {
            QSqlDatabase locker = QSqlDatabase::cloneDatabase(QSqlDatabase::database(), "locker");
            if (!locker.open() || !QSqlQuery(locker).exec("LOCK TABLES " + lockedTable + " WRITE"))
                qFatal("cannot lock %s", qPrintable(lockedTable));
        }
        thread->start();
    }
    ~KillWhenSeen()
    {
        thread->wait();
        delete thread;
        QSqlDatabase::database("locker", false).close();
        QSqlDatabase::removeDatabase("locker");
    }
    bool killed() const { return done; }

private:
    void watch(qint64 pid, const QString &condition)
    {
        {
            QSqlDatabase db =
                QSqlDatabase::cloneDatabase(QSqlDatabase::defaultConnection, "watcher");
            QElapsedTimer clock;
            clock.start();
            while (db.open() && clock.elapsed() < 30000) {
                QSqlQuery query(db);
                if (query.exec("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE " +
                               condition) &&
                    query.next() && query.value(0).toInt() > 0) {
                    ::kill(pid_t(pid), SIGKILL);
                    done = true;
                    break;
                }
                QThread::msleep(50);
            }
        }
        QSqlDatabase::removeDatabase("watcher");
    }

    QThread *thread;
    std::atomic_bool done = false;
};

} // namespace

// The server killed (SIGKILL) in the middle of a save, a load and an administration "Apply", on
// a private server, then started again on the same data: no crash, no hang, an
// error and never a success, committed rows whole and the others untouched, and a new login
// that works.
class ServerFaultsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        server.exportForTestDatabase();
        QVERIFY2(db.create(&error), qPrintable(error));
        db.writeConnectionSettings();
        alice = db.addUser("alice", "secret");
        QVERIFY_SQL(db, "CREATE TABLE items (id INT PRIMARY KEY, label VARCHAR(64), group_id INT)");
        schema = schemaDir.filePath("items.xml");
        QVERIFY(TestHelpers::writeFile(
            schema, "<s><fields><f name=\"label\"><label>Label</label></f></fields></s>"));
        passOn = qInstallMessageHandler(watchDebugLines);
    }

    // Ten rows, each reviewed once (state 1 on its label) by an earlier save.
    void init()
    {
        for (const char *table :
             {"items", "ext_records", "ext_records_fields", "ext_records_monitorings"})
            QVERIFY_SQL(db, QString("DELETE FROM ") + table);
        for (int id = 1; id <= 10; ++id)
            QVERIFY(db.exec(QString("INSERT INTO items VALUES (%1, 'old %1', 0)").arg(id)));
        QVERIFY(logIn());
        ExtXmlModel model(schema);
        QVERIFY(model.load());
        for (int row = 0; row < 10; ++row)
            model.setState(row, 1, 1);
        QVERIFY(model.save());
    }

    void cleanup()
    {
        onDebugLine = nullptr;
        if (!server.isRunning())
            QVERIFY(restart());
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(passOn);
        db.drop();
    }

    // Killed inside the fifth row's transaction: four rows committed whole, the fifth rolled back.
    void save()
    {
        ExtTableEditor editor(schema);
        editor.refresh();
        ExtXmlModel *model = editor.model;
        for (int row = 0; row < 10; ++row) {
            model->setData(model->index(row, 3), "new " + QString::number(row + 1));
            model->setState(row, 1, 2);
        }
        const QMap<int, QStringList> before = rows();

        int seen = 0;
        onDebugLine = [&](const QString &line) {
            if (line == "items saved..." && ++seen == 5)
                server.kill();
        };
        QSignalSpy messages(model, &ExtModel::messageChanged);
        QElapsedTimer clock;
        clock.start();
        ModalAnswer failure(ModalAnswer::accept());
        editor.save();
        QVERIFY(clock.elapsed() < 30000);
        QVERIFY(failure.answered());
        QVERIFY(!messages.contains({"Save compete"}));
        QVERIFY(editor.statusBar()->currentMessage().startsWith("error, cannot save item"));
        QVERIFY2(failure.informativeText().contains("opened again"),
                 qPrintable(failure.informativeText()));

        QVERIFY(restart());
        const QMap<int, QStringList> after = rows();
        int written = 0;
        for (int id = 1; id <= 10; ++id) {
            const QStringList row = after.value(id);
            if (row.value(0).startsWith("new")) {
                ++written;
                // The whole row: its value, its new state, one metadata row with the first stamp.
                QCOMPARE(row.size(), 2);
                QCOMPARE(row.at(1), before.value(id).at(1).section(',', 0, 0) + "," +
                                        QString::number(alice) + ",label=2");
            } else {
                QCOMPARE(row, before.value(id));
            }
        }
        QCOMPARE(written, 4);
    }

    void load()
    {
        ExtTableEditor editor(schema);
        editor.refresh();
        ExtXmlModel *model = editor.model;
        model->setData(model->index(0, 3), "pending");
        // The metadata read waits for a lock; the server dies while the load waits.
        {
            KillWhenSeen killer(server.pid(), "STATE LIKE 'Waiting for table%'", "ext_records");
            // Discarded, yet kept: the load that would replace the row fails.
            ModalAnswer question(ModalAnswer::clickButton("Discard"));
            editor.refresh();
            QVERIFY(question.answered());
            QVERIFY(killer.killed());
        }
        const QString shown = editor.statusBar()->currentMessage();
        QVERIFY2(shown.startsWith("error, cannot load"), qPrintable(shown));
        // What was on screen stays, with its pending change.
        QCOMPARE(model->index(0, 3).data().toString(), QString("pending"));

        QVERIFY(restart());
        int reopened = 0;
        onDebugLine = [&](const QString &line) { reopened += line == "connection opened again"; };
        ModalAnswer question(ModalAnswer::clickButton("Discard"));
        editor.refresh();
        QVERIFY(question.answered());
        QCOMPARE(editor.statusBar()->currentMessage(), QString("loading finish"));
        QCOMPARE(model->index(0, 3).data().toString(), QString("old 1"));
        QCOMPARE(reopened, 1);
    }

    void adminApply()
    {
        db.addUser("bob", "secret");
        auto usersOf = [](AdminDialog *dialog) {
            QSqlTableModel *users = nullptr;
            for (QTableView *view : dialog->findChildren<QTableView *>())
                if (auto *model = qobject_cast<QSqlTableModel *>(view->model());
                    model && model->tableName() == "users")
                    users = model;
            return users;
        };
        auto dialog = std::make_unique<AdminDialog>(nullptr);
        dialog->show();
        QSqlTableModel *users = usersOf(dialog.get());
        const int bob =
            users->match(users->index(0, users->fieldIndex("username")), Qt::DisplayRole, "bob")
                .value(0)
                .row();
        QVERIFY(
            users->setData(users->index(bob, users->fieldIndex("email")), "robert@example.org"));

        {
            KillWhenSeen killer(server.pid(), "STATE LIKE 'Waiting for table%'", "users");
            ModalAnswer box(ModalAnswer::accept(), 30000);
            QTest::mouseClick(dialog->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
            QVERIFY(killer.killed());
            QVERIFY(box.answered());
            QCOMPARE(box.title(), QString("Not saved"));
            QVERIFY2(box.text().contains("User: Lost connection to server during query; the "
                                         "connection to the server was lost, and is opened again "
                                         "at the next Apply."),
                     qPrintable(box.text()));
            QVERIFY2(!box.text().contains("Groups"), qPrintable(box.text()));
        }
        QVERIFY(users->isDirty());
        QVERIFY(restart());
        QCOMPARE(db.count("users", "email='robert@example.org'"), 0);
        // A dialog opened after the loss reads its tables again; the first one's kept edit is
        // written by its next Apply.
        QVERIFY(usersOf(std::make_unique<AdminDialog>(nullptr).get())->rowCount() > 0);
        ModalAnswer none(ModalAnswer::accept());
        QTest::mouseClick(dialog->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
        QVERIFY2(!none.answered(), qPrintable(none.text()));
        QCOMPARE(db.count("users", "email='robert@example.org'"), 1);
        db.exec("DELETE FROM users WHERE username='bob'");
    }

    // A server that accepts connections but never answers must hold neither a statement nor the
    // login, and the window with them, forever; once it answers again, work goes on.
    void frozenServerIsAnError()
    {
        QVERIFY(logIn(2));
        ExtTableEditor editor(schema);
        server.freeze();
        QElapsedTimer clock;
        clock.start();
        editor.refresh();
        const QString shown = editor.statusBar()->currentMessage();
        const bool loggedIn = logIn(2);
        const qint64 waited = clock.elapsed();
        server.thaw();
        QVERIFY2(shown.startsWith("error, cannot load"), qPrintable(shown));
        QVERIFY(!loggedIn);
        QVERIFY2(waited < 40000, qPrintable(QString::number(waited)));
        QVERIFY(logIn());
        editor.refresh();
        QCOMPARE(editor.model->rowCount(), 10);
    }

private:
    // With a time-out (seconds) for the statements of the new connection.
    bool logIn(int timeout = 0)
    {
        // What a login does: a new connection from the stored settings, then the user's row.
        if (timeout)
            QSettings().setValue("database/timeout", timeout);
        QSqlDatabase connection = ConnectionSettings::read().addDefaultDatabase();
        QSettings().remove("database/timeout");
        if (!connection.open())
            return false;
        const QSqlRecord user = UserManager::login("alice", UserManager::passwordHash("secret"));
        Stavimor::instance()->userManager->setCurrentUser(user);
        return !user.isEmpty();
    }

    bool restart()
    {
        server.kill();
        QString error;
        if (!server.restart(&error)) {
            qWarning() << error;
            return false;
        }
        db.reconnect();
        return true;
    }

    // Per row: label, created, modified user, field states, number of metadata rows.
    QMap<int, QStringList> rows()
    {
        QMap<int, QStringList> result;
        for (int id = 1; id <= 10; ++id)
            result[id] =
                db.scalar(
                      QString("SELECT CONCAT_WS('|', i.label, (SELECT GROUP_CONCAT(CONCAT_WS(',', "
                              "e.created, e.modified_user_id, (SELECT GROUP_CONCAT(ef.field_name, "
                              "'=', ef.state) FROM ext_records_fields ef WHERE ef.ext_record_id = "
                              "e.id))) FROM ext_records e WHERE e.table_name = 'items' AND "
                              "e.table_id = i.id)) FROM items i WHERE i.id = %1")
                          .arg(id))
                    .toString()
                    .split('|');
        return result;
    }

    TestSettings settings;
    PrivateMariaDb server;
    TestDatabase db;
    QTemporaryDir schemaDir;
    QString schema;
    int alice = 0;
};

QTEST_MAIN(ServerFaultsTest)
#include "tst_serverfaults.moc"
