#include <QAction>
#include <QDesktopServices>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

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
    void initTestCase();
    void init();
    void cleanupTestCase();

    void loadStatementAndRoles();
    void addThroughThePicker_data();
    void addThroughThePicker();
    void removeTouchesOnlyThisOwner();
    void refusedChangeIsReported_data();
    void refusedChangeIsReported();
    void panel();
    void openStartsMail_data();
    void openStartsMail();

public slots:
    // The desktop's handler of mailto links, played by the test.
    void mailTo(const QUrl &url) { mails << url; }

private:
    // Contacts as owner, contact pairs.
    void addContacts(const QList<QPair<int, int>> &pairs);
    static ModalAnswer::Answer pick(const QString &username);
    static QStringList names(const QAbstractItemModel *model);

    TestSettings settings;
    TestDatabase db;
    int alice = 0;
    int bob = 0;
    int carol = 0;
    int dave = 0;
    QList<QUrl> mails;
};

void ContactsTest::initTestCase()
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

void ContactsTest::init()
{
    QVERIFY(db.exec("DELETE FROM contacts"));
}

void ContactsTest::cleanupTestCase()
{
    db.drop();
}

void ContactsTest::addContacts(const QList<QPair<int, int>> &pairs)
{
    QStringList values;
    const int first = db.nextId("contacts");
    for (const auto &[owner, contact] : pairs)
        values << QString("(%1, %2, %3)").arg(first + values.size()).arg(owner).arg(contact);
    QVERIFY_SQL(db,
                "INSERT INTO contacts (id, user_id, contact_user_id) VALUES " + values.join(','));
}

ModalAnswer::Answer ContactsTest::pick(const QString &username)
{
    return [username](QWidget *modal) {
        auto *view = modal->findChild<QTableView *>("tableView");
        // The rows come once the statement has run.
        const bool loaded =
            QTest::qWaitFor([view] { return view && view->model()->rowCount() > 0; }, 10000);
        for (int row = 0; loaded && row < view->model()->rowCount(); ++row)
            if (view->model()->index(row, 1).data().toString() == username)
                view->selectRow(row);
        QTest::mouseClick(
            modal->findChild<QPushButton *>(username.isEmpty() ? "cancelButton" : "okButon"),
            Qt::LeftButton);
    };
}

QStringList ContactsTest::names(const QAbstractItemModel *model)
{
    QStringList list;
    for (int row = 0; row < model->rowCount(); ++row)
        list << model->index(row, 0).data().toString();
    return list;
}

void ContactsTest::loadStatementAndRoles()
{
    addContacts({{alice, bob}});
    ContactListModel model;
    db.markStatements();
    model.load(alice);
    QVERIFY(db.statements().contains(
        "SELECT u.id,u.username, u.first_name, u.second_name,u.email FROM users u, contacts c  "
        "WHERE c.user_id='" +
        QString::number(alice) + "' AND c.contact_user_id=u.id"));
    QCOMPARE(model.rowCount(), 1);
    const QModelIndex first = model.index(0);
    QCOMPARE(first.data().toString(), QString("bob"));
    QCOMPARE(first.data(ContactListModel::EmailRole).toString(), QString("bob@example.org"));

    model.load(carol);
    QCOMPARE(model.rowCount(), 0);
}

void ContactsTest::addThroughThePicker_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QStringList>("contacts");
    QTest::newRow("a new contact") << "carol" << QStringList{"bob", "carol"};
    QTest::newRow("cancelled") << "" << QStringList{"bob"};
    QTest::newRow("already a contact") << "bob" << QStringList{"bob"};
    QTest::newRow("oneself") << "alice" << QStringList{"bob"};
}

void ContactsTest::addThroughThePicker()
{
    QFETCH(QString, chosen);
    QFETCH(QStringList, contacts);
    addContacts({{alice, bob}});
    TestHelpers::logIn(alice);
    UserView view;
    view.load();
    ModalAnswer answer(pick(chosen));
    view.addContact();
    QVERIFY(answer.answered());
    QStringList shown = names(view.findChild<QListView *>("listView")->model());
    shown.sort();
    QCOMPARE(shown, contacts);
    QCOMPARE(db.count("contacts", "user_id = " + QString::number(alice)), contacts.size());
}

void ContactsTest::removeTouchesOnlyThisOwner()
{
    addContacts({{alice, bob}, {alice, carol}, {carol, bob}});
    ContactListModel model;
    model.load(alice);
    const int row = names(&model).indexOf("bob");
    QVERIFY(row >= 0);
    model.remContact(model.index(row));
    QCOMPARE(names(&model), QStringList{"carol"});
    QCOMPARE(db.count("contacts"), 2);
    QCOMPARE(
        db.count("contacts", QString("user_id = %1 AND contact_user_id = %2").arg(carol).arg(bob)),
        1);
    // A row that is not there removes nothing.
    model.remContact(model.index(5));
    QCOMPARE(db.count("contacts"), 2);
}

void ContactsTest::refusedChangeIsReported_data()
{
    QTest::addColumn<bool>("adding");
    QTest::newRow("addition") << true;
    QTest::newRow("removal") << false;
}

void ContactsTest::refusedChangeIsReported()
{
    QFETCH(bool, adding);
    addContacts({{alice, bob}});
    ContactListModel model;
    model.load(alice);
    QSignalSpy failed(&model, &ContactListModel::failed);
    QVERIFY_SQL(db, "RENAME TABLE contacts TO contacts_away");
    if (adding)
        model.addContact(carol);
    else
        model.remContact(model.index(0));
    QVERIFY_SQL(db, "RENAME TABLE contacts_away TO contacts");
    QCOMPARE(failed.size(), 1);
    const QString message = failed.first().first().toString();
    QVERIFY2(
        message.startsWith(adding ? "cannot add the contact: " : "cannot remove the contact: ") &&
            message.contains("contacts"),
        qPrintable(message));
}

// The dock panel: the user's contacts and groups, the picker, the filter and the delete key.
void ContactsTest::panel()
{
    addContacts({{alice, bob}});
    TestHelpers::logIn(alice);
    UserView view;
    auto *list = view.findChild<QListView *>("listView");
    auto *groups = view.findChild<QListWidget *>("listWidget");
    QCOMPARE(list->model()->rowCount(), 0);
    view.load();
    QCOMPARE(names(list->model()), QStringList{"bob"});
    QCOMPARE(groups->count(), 1);
    QCOMPARE(groups->item(0)->text(), QString("Nord"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    ModalAnswer answer(pick("carol"));
    QTest::mouseClick(view.findChild<QPushButton *>("pushButton"), Qt::LeftButton);
    QVERIFY(answer.answered());
    QCOMPARE(list->model()->rowCount(), 2);

    auto *filter = view.findChild<QLineEdit *>("lineEdit");
    QTest::keyClicks(filter, "CAR");
    QCOMPARE(names(list->model()), QStringList{"carol"});
    // The only row left is carol, the second row of the model: the filtered row is removed.
    // A closed modal dialog leaves no window active under the offscreen platform.
    QApplication::setActiveWindow(&view);
    QVERIFY(QTest::qWaitForWindowActive(&view));
    list->setFocus();
    list->setCurrentIndex(list->model()->index(0, 0));
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(db.scalar("SELECT GROUP_CONCAT(contact_user_id) FROM contacts").toString(),
             QString::number(bob));
    filter->clear();
    QCOMPARE(names(list->model()), QStringList{"bob"});

    view.clear();
    QCOMPARE(list->model()->rowCount(), 0);
    QCOMPARE(groups->count(), 0);
}

void ContactsTest::openStartsMail_data()
{
    QTest::addColumn<QString>("contact");
    QTest::addColumn<QList<QUrl>>("expected");
    QTest::newRow("with an address") << "bob" << QList<QUrl>{QUrl("mailto:bob@example.org")};
    QTest::newRow("without one") << "dave" << QList<QUrl>();
}

// A double-click on a contact starts an e-mail to them.
void ContactsTest::openStartsMail()
{
    QFETCH(QString, contact);
    QFETCH(QList<QUrl>, expected);
    addContacts({{alice, bob}, {alice, dave}});
    TestHelpers::logIn(alice);
    mails.clear();
    QDesktopServices::setUrlHandler("mailto", this, "mailTo");
    UserView view;
    view.load();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto *list = view.findChild<QListView *>("listView");
    const int row = names(list->model()).indexOf(contact);
    QVERIFY(row >= 0);
    const QRect cell = list->visualRect(list->model()->index(row, 0));
    // The first click selects, the second is the double-click.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QDesktopServices::unsetUrlHandler("mailto");
    QCOMPARE(mails, expected);
}

QTEST_MAIN(ContactsTest)
#include "tst_contacts.moc"
