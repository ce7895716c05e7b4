#include <QtTest>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "messagecapture.h"
#include "testdatabase.h"

// The core object and the user manager against the real users, groups and infos tables.
class CoreTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        alice = db.addUser("alice", "secret");
        obrien = db.addUser("O'Brien", "p'w\\d");
        loner = db.addUser("loner", "");
        const int staff = db.addGroup("staff");
        const int review = db.addGroup("review");
        db.addMembership(staff, alice);
        db.addMembership(review, alice);
        db.addMembership(staff, obrien);
    }

    void cleanupTestCase()
    {
        delete Stavimor::instance();
        db.drop();
    }

    void instanceIsCreatedOnce()
    {
        delete Stavimor::instance();
        MessageCapture capture;
        QCOMPARE(Stavimor::instance(), Stavimor::instance());
        QCOMPARE(capture.count("core instance created..."), 1);
    }

    void login_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("expected"); // the user name found, empty for no one
        // clang-format off
        QTest::newRow("right password") << "alice" << "secret" << "alice";
        QTest::newRow("wrong password") << "alice" << "Secret" << "";
        QTest::newRow("empty password hashed too") << "loner" << "" << "loner";
        QTest::newRow("empty password is not any password") << "alice" << "" << "";
        QTest::newRow("quote and backslash in name and password") << "O'Brien" << "p'w\\d" << "O'Brien";
        // clang-format on
    }

    void login()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(QString, expected);
        QCOMPARE(UserManager::login(username, md5(password)).value("username").toString(),
                 expected);
    }

    void groups()
    {
        db.markStatements();
        QStringList names;
        for (const QSqlRecord &group : UserManager::groups(alice))
            names << group.value("name").toString();
        names.sort();
        QCOMPARE(names, QStringList({"review", "staff"}));
        QVERIFY(UserManager::groups(loner).isEmpty());
        QVERIFY(UserManager::groups(QVariant("1 OR 1=1")).isEmpty());
        QCOMPARE(UserManager::user(obrien).value("username").toString(), QString("O'Brien"));

        // The current user's groups are replaced with the user.
        UserManager *manager = Stavimor::instance()->userManager;
        manager->setCurrentUser(UserManager::login("alice", md5("secret")));
        QCOMPARE(manager->userGroups.size(), 2);
        manager->setCurrentUser(UserManager::login("loner", md5("")));
        QVERIFY(manager->userGroups.isEmpty());
        const QStringList received = db.statements();
        QVERIFY2(received.contains("select * from users where username='alice' AND password='" +
                                   md5("secret") + "'") &&
                     received.contains("select g.* from groups g, groups_users gu WHERE "
                                       "gu.group_id=g.id AND gu.user_id=" +
                                       QString::number(alice)),
                 qPrintable(received.join("\n")));
    }

    // The update addresses are read by the update and module tests; the version only here.
    void infosLookups()
    {
        QVERIFY_SQL(db, "DELETE FROM infos");
        QVERIFY(Stavimor::version().isEmpty());
        QVERIFY_SQL(db, "INSERT INTO infos VALUES ('', '', 'beta 0.6')");
        QCOMPARE(Stavimor::version(), QString("beta 0.6"));
    }

private:
    static QString md5(const QString &text) { return UserManager::passwordHash(text); }
    TestDatabase db;
    int alice = 0, obrien = 0, loner = 0;
};

QTEST_MAIN(CoreTest)
#include "tst_core.moc"
