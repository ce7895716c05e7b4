#include <QtTest>
#include <QtWidgets>

#include "modalanswer.h"
#include "navigation/contactlistmodel.h"
#include "navigation/userview.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

// The contacts model and the dock panel against the real server.
class ContactsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        alice = db.addUser("alice", "x", "alice@example.org");
        bob = db.addUser("bob", "x", "bob@example.org");
        carol = db.addUser("carol", "x", "carol@example.org");
        dave = db.addUser("dave", "x");
        QVERIFY_SQL(db, "UPDATE users SET email = NULL WHERE id = " + QString::number(dave));
        const int nord = db.addGroup("Nord");
        db.addMembership(nord, alice);
    }

    void init() { QVERIFY(db.exec("DELETE FROM contacts")); }
    void cleanupTestCase() { db.drop(); }

    void addThroughThePicker_data()
    {
        QTest::addColumn<QString>("chosen"); // only "carol" is a new contact
        QTest::newRow("a new contact") << "carol";
        QTest::newRow("cancelled") << "";
        QTest::newRow("already a contact") << "bob";
        QTest::newRow("oneself") << "alice";
    }

    void addThroughThePicker()
    {
        QFETCH(QString, chosen);
        addContacts({{alice, bob}});
        TestHelpers::logIn(alice);
        UserView view;
        view.load();
        ModalAnswer answer([chosen](QWidget *modal) {
            auto *table = modal->findChild<QTableView *>("tableView");
            // The rows come once the statement has run.
            QVERIFY(QTest::qWaitFor([table] { return table->model()->rowCount() > 0; }, 10000));
            for (int row = 0; row < table->model()->rowCount(); ++row)
                if (table->model()->index(row, 1).data().toString() == chosen)
                    table->selectRow(row);
            QTest::mouseClick(
                modal->findChild<QPushButton *>(chosen.isEmpty() ? "cancelButton" : "okButon"),
                Qt::LeftButton);
        });
        view.addContact();
        QVERIFY(answer.answered());
        const QStringList contacts =
            chosen == "carol" ? QStringList{"bob", "carol"} : QStringList{"bob"};
        QCOMPARE(names(view.findChild<QListView *>("listView")->model()), contacts);
        QCOMPARE(db.count("contacts", "user_id = " + QString::number(alice)), contacts.size());
    }

    // An addition or removal the server refuses is said, with the server's reason.
    void refusedChangeIsReported_data()
    {
        QTest::addColumn<bool>("adding");
        QTest::newRow("addition") << true;
        QTest::newRow("removal") << false;
    }
    void refusedChangeIsReported()
    {
        QFETCH(bool, adding);
        addContacts({{alice, bob}});
        ContactListModel model;
        model.load(alice);
        QSignalSpy failed(&model, &ContactListModel::failed);
        QVERIFY_SQL(db, "RENAME TABLE contacts TO contacts_away");
        adding ? model.addContact(carol) : model.remContact(model.index(0));
        QVERIFY_SQL(db, "RENAME TABLE contacts_away TO contacts");
        const QString message = failed.value(0).value(0).toString();
        QVERIFY2(message.startsWith(adding ? "cannot add the contact: "
                                           : "cannot remove the contact: ") &&
                     message.contains("contacts"),
                 qPrintable(message));
    }

    // The dock panel: the user's contacts and groups, a double-click that starts an e-mail to a
    // contact with an address, the filter and the delete key, which removes the row shown and only
    // this owner's.
    void panel()
    {
        addContacts({{alice, bob}, {alice, dave}, {bob, carol}, {alice, carol}});
        TestHelpers::logIn(alice);
        UserView view;
        auto *list = view.findChild<QListView *>("listView");
        db.markStatements();
        view.load();
        QVERIFY(db.statements().contains(
            "SELECT u.id,u.username, u.first_name, u.second_name,u.email FROM users u, contacts c  "
            "WHERE c.user_id='" +
            QString::number(alice) + "' AND c.contact_user_id=u.id"));
        QCOMPARE(names(list->model()), QStringList({"bob", "carol", "dave"}));
        QCOMPARE(view.findChild<QListWidget *>("listWidget")->item(0)->text(), QString("Nord"));
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QDesktopServices::setUrlHandler("mailto", this, "mailTo");
        for (const QString &name : {"bob", "dave"}) {
            const QRect cell = list->visualRect(
                list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, name).value(0));
            // The first click selects, the second is the double-click.
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        }
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(mails, QList<QUrl>{QUrl("mailto:bob@example.org")});
        auto *filter = view.findChild<QLineEdit *>("lineEdit");
        QTest::keyClicks(filter, "CAR");
        QCOMPARE(names(list->model()), QStringList{"carol"});
        // The only row shown is carol, not the model's first row: the row shown is removed.
        QApplication::setActiveWindow(&view);
        QVERIFY(QTest::qWaitForWindowActive(&view));
        list->setFocus();
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(
            db.scalar("SELECT GROUP_CONCAT(contact_user_id ORDER BY id) FROM contacts").toString(),
            QString("%1,%2,%3").arg(bob).arg(dave).arg(carol));
    }

public slots:
    // The desktop's handler of mailto links, played by the test.
    void mailTo(const QUrl &url) { mails << url; }

private:
    // Contacts as owner, contact pairs.
    void addContacts(const QList<QPair<int, int>> &pairs)
    {
        QStringList values;
        const int first = db.nextId("contacts");
        for (const auto &[owner, contact] : pairs)
            values << QString("(%1, %2, %3)").arg(first + values.size()).arg(owner).arg(contact);
        QVERIFY_SQL(db, "INSERT INTO contacts (id, user_id, contact_user_id) VALUES " +
                            values.join(','));
    }

    // The names shown, sorted.
    static QStringList names(const QAbstractItemModel *model)
    {
        QStringList list;
        for (int row = 0; row < model->rowCount(); ++row)
            list << model->index(row, 0).data().toString();
        list.sort();
        return list;
    }

    TestSettings settings;
    TestDatabase db;
    int alice = 0, bob = 0, carol = 0, dave = 0;
    QList<QUrl> mails;
};

QTEST_MAIN(ContactsTest)
#include "tst_contacts.moc"
