#include <QtSql>
#include <QtTest>
#include <QtWidgets>

#include "app/logindialog.h"
#include "app/mainwindow.h"
#include "modalanswer.h"
#include "navigation/iconlabel.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

// The login flow through the real main window and dialogs against the real server.
class LoginTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QVERIFY(db.addUser("alice", "secret") > 0);
    }
    void init()
    {
        settings.clear();
        db.writeConnectionSettings();
    }
    void cleanupTestCase() { db.drop(); }

    void firstStartShowsEmptyName()
    {
        LoginDialog dialog;
        QCOMPARE(dialog.findChild<QLineEdit *>("usernameLineEdit")->text(), QString());
        QCOMPARE(dialog.findChild<QLineEdit *>("passwordLineEdit")->text(), QString("kp4wzn8q"));
        QSettings().setValue("login/username", "remembered");
        LoginDialog again;
        QCOMPARE(again.findChild<QLineEdit *>("usernameLineEdit")->text(), QString("remembered"));
    }

    void refused_data()
    {
        QTest::addColumn<int>("port");       // -1: nothing stored, as at the first run
        QTest::addColumn<QString>("reason"); // in the connection failure box; empty: no such box
        QTest::newRow("wrong password") << 0 << QString();
        QTest::newRow("server refuses") << 1 << "Can't connect";
        QTest::newRow("first run, nothing stored") << -1 << "no database driver is chosen";
    }

    // Which names and passwords match is the user manager's; here what the window does on a
    // refusal: told, the dialog stays, and after a cancel the tools stay disabled. A connection
    // that fails is told first, and the login dialog still asks.
    void refused()
    {
        QFETCH(int, port);
        QFETCH(QString, reason);
        if (port < 0)
            settings.clear();
        else if (port > 0)
            QSettings().setValue("database/port", port);
        MainWindow window;
        Attempt attempt;
        std::unique_ptr<ModalAnswer> login;
        std::unique_ptr<ModalAnswer> failure;
        if (reason.isEmpty()) {
            login = std::make_unique<ModalAnswer>(typeAndLogin("SECRET", &attempt));
        } else {
            // The login dialog follows the failure box: answer it once the box is gone.
            failure = std::make_unique<ModalAnswer>([&](QWidget *modal) {
                ModalAnswer::accept()(modal);
                login = std::make_unique<ModalAnswer>(typeAndLogin("secret", &attempt));
            });
        }
        window.findChild<QAction *>("actionLogin")->trigger();
        if (failure) {
            QVERIFY(failure->answered());
            QCOMPARE(failure->title() + ": " + failure->text(),
                     QString("erreur: cannot connect to db"));
            const QString told = failure->informativeText();
            QVERIFY2(told.contains("File, Preferences, server") && told.contains(reason),
                     qPrintable(told));
        }
        QVERIFY(login && login->answered());
        QCOMPARE(attempt.box, QString("error: this user doesn't exist"));
        QVERIFY(attempt.dialogStayedOpen);
        QVERIFY(!toolsEnabled(window));
        QVERIFY(!QSettings().contains("login/username"));
    }

    void successThenLogout()
    {
        MainWindow window;
        // Typed in capitals: the server's comparison finds the row, the label shows its name.
        ModalAnswer answer(TestHelpers::typeLogin("ALICE", "secret"));
        auto *action = window.findChild<QAction *>("actionLogin");
        action->trigger();
        QVERIFY(answer.answered());
        QVERIFY(toolsEnabled(window));
        auto *label = window.findChild<IconLabel *>();
        QCOMPARE(label->textLabel->text(), QString("alice"));
        QCOMPARE(QSettings().value("login/username").toString(), QString("ALICE"));
        QVERIFY(window.statusBar()->currentMessage().startsWith("connection success to database "));

        action->trigger();
        QVERIFY(!toolsEnabled(window));
        QCOMPARE(label->textLabel->text(), QString());
        QVERIFY(!QSqlDatabase::database(QSqlDatabase::defaultConnection, false).isOpen());
    }

    void editProfile()
    {
        MainWindow window;
        ModalAnswer login(TestHelpers::typeLogin("alice", "secret"));
        window.findChild<QAction *>("actionLogin")->trigger();
        QVERIFY(toolsEnabled(window));

        ModalAnswer profile([&](QWidget *modal) {
            QCOMPARE(modal->findChild<QLineEdit *>("emailLineEdit")->text(),
                     QString("alice@example.org"));
            modal->findChild<QLineEdit *>("firstNameLineEdit")->setText("Alice");
            modal->findChild<QLineEdit *>("emailLineEdit")->setText("o'brien@example.org");
            modal->findChild<QLineEdit *>("passwordLineEdit")->setText("n\u00e9w");
            modal->findChild<QLineEdit *>("confirmLineEdit")->setText("other");
            // Two passwords that differ: told so, nothing written, the dialog stays.
            ModalAnswer box(ModalAnswer::accept());
            QTest::mouseClick(modal->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
            QCOMPARE(box.title(), QString("Not saved"));
            QVERIFY(modal->isVisible());
            QCOMPARE(db.scalar("SELECT first_name FROM users WHERE username = 'alice'").toString(),
                     QString("alice first"));
            modal->findChild<QLineEdit *>("confirmLineEdit")->setText("n\u00e9w");
            QTest::mouseClick(modal->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
        });
        window.findChild<QAction *>("actionEdit_profil")->trigger();
        QVERIFY(profile.answered());
        QCOMPARE(db.scalar("SELECT CONCAT_WS('|', first_name, email, password) FROM users WHERE "
                           "username = 'alice'")
                     .toString(),
                 "Alice|o'brien@example.org|" +
                     QCryptographicHash::hash(QString("n\u00e9w").toUtf8(), QCryptographicHash::Md5)
                         .toHex());
    }

private:
    // Fills the login dialog, presses "Login", answers the message box that follows and cancels.
    struct Attempt
    {
        QString box; // title: text
        bool dialogStayedOpen = false;
    };
    static ModalAnswer::Answer typeAndLogin(const QString &password, Attempt *attempt)
    {
        return [=](QWidget *dialog) {
            ModalAnswer box(ModalAnswer::accept(), 2000);
            TestHelpers::typeLogin("alice", password)(dialog);
            attempt->box = box.title() + ": " + box.text();
            attempt->dialogStayedOpen = dialog->isVisible();
            if (dialog->isVisible())
                QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton_2"), Qt::LeftButton);
        };
    }

    static bool toolsEnabled(MainWindow &window)
    {
        return window.findChild<QAction *>("actionAdministration")->isEnabled();
    }

    TestSettings settings;
    TestDatabase db;
};

QTEST_MAIN(LoginTest)
#include "tst_login.moc"
