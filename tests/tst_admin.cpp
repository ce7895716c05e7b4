#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlTableModel>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

#include "admin/admindialog.h"
#include "admin/authsadminformwidget.h"
#include "admin/groupsadminformwidget.h"
#include "admin/usersadminformwidget.h"
#include "app/mainwindow.h"
#include "forms/preferencedialog.h"
#include "messagecapture.h"
#include "modalanswer.h"
#include "testdatabase.h"
#include "testsettings.h"

// The administration dialog driven as a user would, against the real server: what its grids
// show, and what reaches the tables on "Apply", "Ok", "Cancel" and at once.
class AdminTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void pagesInOrder();
    void hiddenColumns_data();
    void hiddenColumns();
    void columnLabels_data();
    void columnLabels();
    void newUserWrittenOnlyBySave_data();
    void newUserWrittenOnlyBySave();
    void userNameRequired_data();
    void userNameRequired();
    void failedSaveNamesPageAndKeepsEdits();
    void removeUsersOnSave();
    void defaultDiscardsEdits();
    void setPassword_data();
    void setPassword();
    void setPasswordChangesNothing_data();
    void setPasswordChangesNothing();
    void groupChooser();
    void addMembership_data();
    void addMembership();
    void membershipNeedsMember();
    void removeMembershipAtOnce();
    void savedGroupsAndUsersReachMemberships();
    void membershipOfRemovedUserStillShows();
    void lostConnectionIsReported();
    void preferencesStillCloseOnOk();
    void mainWindowOpensAdmin();

private:
    enum Page { Users, Groups, Auths };

    void open();
    void showPage(Page page);
    QTableView *view(Page page) const;
    QSqlTableModel *model(Page page) const;
    QPushButton *button(Page page, const char *name) const;
    void press(const char *name);
    // Presses a dialog button after which no message may appear.
    void clickButton(const char *name);
    void clickRow(Page page, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void editCell(Page page, int row, const QString &column, const QString &text);
    int rowOf(Page page, int column, const QString &text) const;
    QStringList shownMembers() const;
    void pickMember(int row, const QString &name, QStringList *offered);
    void chooseGroup(const QString &name);

    TestDatabase db;
    TestSettings settings;
    std::unique_ptr<AdminDialog> dialog;
    int alice = 0;
    int bob = 0;
    int carol = 0;
    int centre = 0;
    int obrien = 0;
};

void AdminTest::initTestCase()
{
    QString error;
    QVERIFY2(db.create(&error), qPrintable(error));
}

void AdminTest::init()
{
    for (const char *table : {"users", "groups", "groups_users"})
        QVERIFY(db.exec(QString("TRUNCATE TABLE %1").arg(table)));
    alice = db.addUser("alice", "alice-pw");
    bob = db.addUser("bob", "bob-pw");
    carol = db.addUser("carol", "carol-pw");
    centre = db.addGroup("Centre A");
    obrien = db.addGroup("O'Brien team");
    db.addGroup("Empty");
    db.addMembership(centre, alice);
    db.addMembership(centre, bob);
    db.addMembership(obrien, carol);
    // Ids the program would make up itself (the largest plus one) are far from these.
    for (const char *table : {"users", "groups", "groups_users"})
        QVERIFY(db.exec(QString("ALTER TABLE %1 AUTO_INCREMENT = 500").arg(table)));
}

void AdminTest::cleanup()
{
    dialog.reset();
}

void AdminTest::cleanupTestCase()
{
    db.drop();
}

void AdminTest::open()
{
    dialog = std::make_unique<AdminDialog>(nullptr);
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
}

void AdminTest::showPage(Page page)
{
    auto *list = dialog->findChild<QListWidget *>("listWidget");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(page)).center());
}

QTableView *AdminTest::view(Page page) const
{
    QWidget *widget = nullptr;
    switch (page) {
    case Users:
        widget = dialog->findChild<UsersAdminFormWidget *>();
        break;
    case Groups:
        widget = dialog->findChild<GroupsAdminFormWidget *>();
        break;
    case Auths:
        widget = dialog->findChild<AuthsAdminFormWidget *>();
        break;
    }
    return widget ? widget->findChild<QTableView *>("tableView") : nullptr;
}

QSqlTableModel *AdminTest::model(Page page) const
{
    return qobject_cast<QSqlTableModel *>(view(page)->model());
}

QPushButton *AdminTest::button(Page page, const char *name) const
{
    return view(page)->parentWidget()->findChild<QPushButton *>(name);
}

void AdminTest::press(const char *name)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(name), Qt::LeftButton);
}

void AdminTest::clickButton(const char *name)
{
    ModalAnswer unexpected(ModalAnswer::accept());
    press(name);
    QVERIFY2(!unexpected.answered(), qPrintable(unexpected.text()));
}

void AdminTest::clickRow(Page page, int row, Qt::KeyboardModifiers modifiers)
{
    QTableView *table = view(page);
    int column = 0;
    while (table->isColumnHidden(column))
        ++column;
    const QModelIndex index = table->model()->index(row, column);
    table->scrollTo(index);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, modifiers,
                      table->visualRect(index).center());
}

// Types text over a cell's content, as a user does after F2.
void AdminTest::editCell(Page page, int row, const QString &column, const QString &text)
{
    QTableView *table = view(page);
    const QModelIndex index = table->model()->index(row, model(page)->fieldIndex(column));
    table->scrollTo(index);
    // A message box closed just before leaves no window active under the offscreen platform.
    QApplication::setActiveWindow(table->window());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
    QTest::keyClick(table, Qt::Key_F2);
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(qobject_cast<QLineEdit *>(editor));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

int AdminTest::rowOf(Page page, int column, const QString &text) const
{
    QAbstractItemModel *m = view(page)->model();
    for (int row = 0; row < m->rowCount(); ++row) {
        if (m->index(row, column).data().toString() == text)
            return row;
    }
    return -1;
}

QStringList AdminTest::shownMembers() const
{
    QStringList names;
    QAbstractItemModel *m = view(Auths)->model();
    for (int row = 0; row < m->rowCount(); ++row)
        names << m->index(row, 2).data().toString();
    names.sort();
    return names;
}

// Picks the member in the cell's combo box by typing the user name, as a user does.
void AdminTest::pickMember(int row, const QString &name, QStringList *offered)
{
    QTableView *table = view(Auths);
    const QModelIndex cell = table->model()->index(row, 2);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell).center());
    QTest::keyClick(table, Qt::Key_F2);
    auto *editor = qobject_cast<QComboBox *>(QApplication::focusWidget());
    QVERIFY(editor);
    for (int i = 0; i < editor->count(); ++i)
        *offered << editor->itemText(i);
    QTest::keyClicks(editor, name);
    QCOMPARE(editor->currentText(), name);
    QTest::keyClick(editor, Qt::Key_Tab);
}

void AdminTest::chooseGroup(const QString &name)
{
    auto *combo = view(Auths)->parentWidget()->findChild<QComboBox *>("comboBox");
    combo->setFocus();
    // Keyboard steps emit activated(), as a choice with the mouse does.
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < combo->count() && combo->currentText() != name; ++i)
        QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentText(), name);
}

void AdminTest::pagesInOrder()
{
    open();
    QCOMPARE(dialog->windowTitle(), QString("Dialog"));
    auto *list = dialog->findChild<QListWidget *>("listWidget");
    QCOMPARE(list->count(), 3);
    const QStringList titles{"User", "Groups", "Auths"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(list->item(i)->text(), titles.at(i));
        QVERIFY(!list->item(i)->icon().isNull());
    }
    auto *tabs = dialog->findChild<QTabWidget *>("tabWidget");
    QCOMPARE(tabs->tabText(0), QString("User"));
    showPage(Auths);
    QCOMPARE(tabs->tabText(0), QString("Auths"));
    QVERIFY(view(Auths)->isVisible());

    for (Page page : {Users, Groups, Auths}) {
        QVERIFY(view(page)->alternatingRowColors());
        QCOMPARE(view(page)->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(model(page)->editStrategy(), QSqlTableModel::OnManualSubmit);
    }
    QVERIFY(view(Users)->horizontalHeader()->stretchLastSection());
    QCOMPARE(button(Users, "setPassButton")->text(), QString("Set Password"));
    // Kept in the form, but out of sight: nothing reads it.
    QVERIFY(view(Auths)->parentWidget()->findChild<QLineEdit *>("lineEdit")->isHidden());
}

void AdminTest::hiddenColumns_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("column");
    QTest::addColumn<bool>("hidden");
    for (const char *name : {"id", "password", "avatar_url", "comment"})
        QTest::addRow("users %s", name) << int(Users) << name << true;
    for (const char *name : {"username", "first_name", "second_name", "email"})
        QTest::addRow("users %s", name) << int(Users) << name << false;
    QTest::addRow("groups id") << int(Groups) << "id" << true;
    QTest::addRow("groups name") << int(Groups) << "name" << false;
    QTest::addRow("auths id") << int(Auths) << "id" << true;
    QTest::addRow("auths group_id") << int(Auths) << "group_id" << true;
}

void AdminTest::hiddenColumns()
{
    QFETCH(int, page);
    QFETCH(QString, column);
    QFETCH(bool, hidden);
    open();
    const Page p = Page(page);
    const int index = model(p)->fieldIndex(column);
    QVERIFY(index >= 0);
    QCOMPARE(view(p)->isColumnHidden(index), hidden);
    // Re-reading and saving rebuild the grid; the columns stay as they were.
    clickButton("defaultButton");
    QCOMPARE(view(p)->isColumnHidden(index), hidden);
    clickButton("applyButton");
    QCOMPARE(view(p)->isColumnHidden(index), hidden);
    if (p == Auths)
        QVERIFY(!view(p)->isColumnHidden(2));
}

void AdminTest::columnLabels_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("label");
    QTest::newRow("user name") << int(Users) << 1 << "User name";
    QTest::newRow("e-mail") << int(Users) << 5 << "E-mail";
    QTest::newRow("group name") << int(Groups) << 1 << "Name";
    QTest::newRow("member") << int(Auths) << 2 << "Member";
}

void AdminTest::columnLabels()
{
    QFETCH(int, page);
    QFETCH(int, column);
    QFETCH(QString, label);
    open();
    const Page p = Page(page);
    QCOMPARE(model(p)->headerData(column, Qt::Horizontal).toString(), label);
    clickButton("defaultButton");
    if (p == Auths)
        chooseGroup("O'Brien team");
    clickButton("applyButton");
    QCOMPARE(model(p)->headerData(column, Qt::Horizontal).toString(), label);
    QVERIFY(view(p)->horizontalHeader()->stretchLastSection());
}

void AdminTest::newUserWrittenOnlyBySave_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("Cancel") << "cancelButton" << false << false;
    QTest::newRow("Apply") << "applyButton" << true << true;
    QTest::newRow("Ok") << "okButton" << true << false;
}

void AdminTest::newUserWrittenOnlyBySave()
{
    QFETCH(QString, button);
    QFETCH(bool, written);
    QFETCH(bool, staysOpen);
    open();
    QTest::mouseClick(this->button(Users, "addButton"), Qt::LeftButton);
    const int row = model(Users)->rowCount() - 1;
    QCOMPARE(row, 3);
    editCell(Users, row, "username", "dora");
    editCell(Users, row, "email", "dora@example.org");
    QCOMPARE(db.count("users", "username='dora'"), 0);

    QSignalSpy accepted(dialog.get(), &QDialog::accepted);
    clickButton(qPrintable(button));
    QCOMPARE(db.count("users", "username='dora'"), written ? 1 : 0);
    QCOMPARE(dialog->isVisible(), staysOpen);
    QCOMPARE(accepted.count(), button == "okButton" ? 1 : 0);
    if (!written)
        return;
    // The server chose the id; the stored password is the column's default.
    QCOMPARE(db.scalar("SELECT id FROM users WHERE username='dora'").toInt(), 500);
    QCOMPARE(db.scalar("SELECT email FROM users WHERE username='dora'").toString(),
             QString("dora@example.org"));
    QCOMPARE(db.scalar("SELECT password FROM users WHERE username='dora'").toString(), QString());
    QCOMPARE(db.count("users"), 4);
}

void AdminTest::userNameRequired_data()
{
    QTest::addColumn<bool>("newRow");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::newRow("new row left empty") << true << QString() << QString();
    QTest::newRow("new row with a first name only") << true << "first_name"
                                                    << "Dora";
    QTest::newRow("new row with blanks as name") << true << "username"
                                                 << "   ";
    QTest::newRow("existing name cleared") << false << "username" << QString();
}

void AdminTest::userNameRequired()
{
    QFETCH(bool, newRow);
    QFETCH(QString, column);
    QFETCH(QString, text);
    open();
    int row = rowOf(Users, model(Users)->fieldIndex("username"), "bob");
    if (newRow) {
        QTest::mouseClick(button(Users, "addButton"), Qt::LeftButton);
        row = model(Users)->rowCount() - 1;
    }
    if (!column.isEmpty())
        editCell(Users, row, column, text);

    ModalAnswer box(ModalAnswer::accept());
    press("okButton");
    QVERIFY(box.answered());
    QVERIFY2(box.text().contains("User: Every user needs a user name."), qPrintable(box.text()));
    QVERIFY(dialog->isVisible());
    QCOMPARE(db.count("users"), 3);
    QCOMPARE(db.count("users", "username='bob'"), 1);
    QCOMPARE(model(Users)->rowCount(), newRow ? 4 : 3);
    QVERIFY(model(Users)->isDirty());
}

void AdminTest::failedSaveNamesPageAndKeepsEdits()
{
    open();
    const int nameColumn = model(Users)->fieldIndex("username");
    QTest::mouseClick(button(Users, "addButton"), Qt::LeftButton);
    editCell(Users, 3, "username", "dora");
    QTest::mouseClick(button(Users, "addButton"), Qt::LeftButton);
    editCell(Users, 4, "username", "alice");
    showPage(Groups);
    QTest::mouseClick(button(Groups, "addButton"), Qt::LeftButton);
    editCell(Groups, 3, "name", "Centre B");

    ModalAnswer box(ModalAnswer::accept());
    QSignalSpy accepted(dialog.get(), &QDialog::accepted);
    press("okButton");
    QVERIFY(box.answered());
    QCOMPARE(box.title(), QString("Not saved"));
    QVERIFY2(box.text().contains("User: Duplicate entry 'alice'"), qPrintable(box.text()));
    QVERIFY2(!box.text().contains("Groups:"), qPrintable(box.text()));
    QVERIFY(dialog->isVisible());
    QCOMPARE(accepted.count(), 0);
    // The failing page is shown; the other pages were still saved.
    QCOMPARE(dialog->findChild<QTabWidget *>("tabWidget")->tabText(0), QString("User"));
    QCOMPARE(db.count("groups", "name='Centre B'"), 1);
    QCOMPARE(db.count("users", "username='dora'"), 1);
    QCOMPARE(rowOf(Users, nameColumn, "alice"), 0);
    QCOMPARE(model(Users)->index(4, nameColumn).data().toString(), QString("alice"));
    QVERIFY(model(Users)->isDirty());

    // Mended, the rest is written once: the row that did get through is not sent again.
    editCell(Users, 4, "username", "erin");
    clickButton("okButton");
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(db.count("users", "username='dora'"), 1);
    QCOMPARE(db.count("users", "username='erin'"), 1);
    QCOMPARE(db.count("users"), 5);
    QCOMPARE(db.count("groups"), 4);
}

void AdminTest::removeUsersOnSave()
{
    open();
    const int nameColumn = model(Users)->fieldIndex("username");
    // Two new rows and an older one, all selected and removed at once.
    for (const char *name : {"dora", "erin"}) {
        QTest::mouseClick(button(Users, "addButton"), Qt::LeftButton);
        editCell(Users, model(Users)->rowCount() - 1, "username", name);
    }
    clickRow(Users, 3);
    clickRow(Users, 4, Qt::ControlModifier);
    clickRow(Users, rowOf(Users, nameColumn, "alice"), Qt::ControlModifier);
    QCOMPARE(view(Users)->selectionModel()->selectedRows().size(), 3);
    QTest::mouseClick(button(Users, "delButton"), Qt::LeftButton);
    QCOMPARE(model(Users)->rowCount(), 3);
    QCOMPARE(db.count("users"), 3);

    clickButton("applyButton");
    QCOMPARE(db.count("users", "username IN ('alice', 'dora', 'erin')"), 0);
    QCOMPARE(db.count("users", "username IN ('bob', 'carol')"), 2);
    QCOMPARE(model(Users)->rowCount(), 2);
}

void AdminTest::defaultDiscardsEdits()
{
    open();
    const int nameColumn = model(Users)->fieldIndex("username");
    editCell(Users, rowOf(Users, nameColumn, "bob"), "username", "robert");
    QTest::mouseClick(button(Users, "addButton"), Qt::LeftButton);
    clickButton("defaultButton");
    QCOMPARE(model(Users)->rowCount(), 3);
    QVERIFY(rowOf(Users, nameColumn, "bob") >= 0);
    clickButton("okButton");
    QCOMPARE(db.count("users", "username='bob'"), 1);
    QCOMPARE(db.count("users"), 3);
}

void AdminTest::setPassword_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("digest");
    // Digests worked out independently (md5 of the UTF-8 bytes).
    QTest::newRow("ascii") << "secret"
                           << "5ebe2294ecd0e0f08eab7690d2a6ee69";
    QTest::newRow("non-ascii") << QString::fromUtf8("Žluťoučký kůň")
                               << "7dae2863a1675599914e7e3b1b9ac4fc";
}

void AdminTest::setPassword()
{
    QFETCH(QString, password);
    QFETCH(QString, digest);
    open();
    const QString aliceBefore =
        db.scalar("SELECT password FROM users WHERE username='alice'").toString();
    const QString bobBefore =
        db.scalar("SELECT password FROM users WHERE username='bob'").toString();
    clickRow(Users, rowOf(Users, model(Users)->fieldIndex("username"), "bob"));

    QString label;
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    ModalAnswer prompt([&](QWidget *modal) {
        auto *input = qobject_cast<QInputDialog *>(modal);
        QVERIFY(input);
        label = input->labelText();
        echo = input->textEchoMode();
        // Typed as key events carrying text: keyClicks only knows Latin-1 keys.
        for (const QChar ch : password)
            QTest::sendKeyEvent(QTest::Click, input->findChild<QLineEdit *>(), Qt::Key_unknown,
                                QString(ch), Qt::NoModifier);
        ModalAnswer::clickButton("OK")(modal);
    });
    QTest::mouseClick(button(Users, "setPassButton"), Qt::LeftButton);
    QVERIFY(prompt.answered());
    QCOMPARE(prompt.title(), QString("set password to bob"));
    QCOMPARE(label, QString("Password:"));
    QCOMPARE(echo, QLineEdit::Password);
    // Written only by the save.
    QCOMPARE(db.scalar("SELECT password FROM users WHERE username='bob'").toString(), bobBefore);
    QVERIFY(bobBefore != digest);
    clickButton("applyButton");
    QCOMPARE(db.scalar("SELECT password FROM users WHERE username='bob'").toString(), digest);
    QCOMPARE(db.scalar("SELECT password FROM users WHERE username='alice'").toString(),
             aliceBefore);
}

void AdminTest::setPasswordChangesNothing_data()
{
    QTest::addColumn<bool>("selectRow");
    QTest::addColumn<QString>("answer");
    QTest::newRow("no row selected") << false << QString();
    QTest::newRow("prompt cancelled") << true << "Cancel";
    QTest::newRow("typed, then cancelled") << true << "Cancel typed";
    QTest::newRow("empty password confirmed") << true << "OK";
}

void AdminTest::setPasswordChangesNothing()
{
    QFETCH(bool, selectRow);
    QFETCH(QString, answer);
    open();
    const QString before =
        db.scalar("SELECT GROUP_CONCAT(password ORDER BY id) FROM users").toString();
    if (selectRow)
        clickRow(Users, rowOf(Users, model(Users)->fieldIndex("username"), "bob"));

    ModalAnswer prompt(
        [answer](QWidget *modal) {
            if (answer.endsWith("typed"))
                QTest::keyClicks(modal->findChild<QLineEdit *>(), "typed");
            ModalAnswer::clickButton(answer.section(' ', 0, 0))(modal);
        },
        selectRow ? 10000 : 300);
    QTest::mouseClick(button(Users, "setPassButton"), Qt::LeftButton);
    if (!selectRow)
        QTest::qWait(400);
    QCOMPARE(prompt.answered(), selectRow);
    QVERIFY(!model(Users)->isDirty());
    clickButton("okButton");
    QCOMPARE(db.scalar("SELECT GROUP_CONCAT(password ORDER BY id) FROM users").toString(), before);
}

void AdminTest::groupChooser()
{
    MessageCapture messages;
    open();
    showPage(Auths);
    auto *combo = view(Auths)->parentWidget()->findChild<QComboBox *>("comboBox");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QString("Centre A"));
    QCOMPARE(combo->itemText(1), QString("O'Brien team"));
    QCOMPARE(combo->itemData(1).toInt(), obrien);
    QVERIFY(!combo->itemIcon(0).isNull());
    QCOMPARE(shownMembers(), QStringList({"alice", "bob"}));

    messages.clear();
    chooseGroup("O'Brien team");
    QCOMPARE(shownMembers(), QStringList({"carol"}));
    const QString filter = QString("groups_users.group_id = '%1'").arg(obrien);
    bool logged = false;
    for (const QString &line : messages.lines())
        logged = logged || line.contains(filter);
    QVERIFY2(logged, qPrintable(messages.lines().join('\n')));

    chooseGroup("Empty");
    QCOMPARE(shownMembers(), QStringList());
    chooseGroup("Centre A");
    QCOMPARE(shownMembers(), QStringList({"alice", "bob"}));
}

void AdminTest::addMembership_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("written");
    QTest::newRow("Apply") << "applyButton" << true;
    QTest::newRow("Cancel") << "cancelButton" << false;
}

void AdminTest::addMembership()
{
    QFETCH(QString, button);
    QFETCH(bool, written);
    open();
    showPage(Auths);
    chooseGroup("O'Brien team");
    QTest::mouseClick(this->button(Auths, "addButton"), Qt::LeftButton);
    QCOMPARE(model(Auths)->rowCount(), 2);

    QStringList offered;
    pickMember(1, "bob", &offered);
    QCOMPARE(offered, QStringList({"alice", "bob", "carol"}));
    QCOMPARE(model(Auths)->index(1, 2).data().toString(), QString("bob"));

    clickButton(qPrintable(button));
    const QString where = QString("group_id=%1 AND user_id=%2").arg(obrien).arg(bob);
    QCOMPARE(db.count("groups_users", where), written ? 1 : 0);
    QCOMPARE(db.count("groups_users"), written ? 4 : 3);
    if (!written)
        return;
    QCOMPARE(db.scalar("SELECT id FROM groups_users WHERE " + where).toInt(), 500);
    QCOMPARE(shownMembers(), QStringList({"bob", "carol"}));
}

void AdminTest::membershipNeedsMember()
{
    open();
    showPage(Auths);
    QTest::mouseClick(button(Auths, "addButton"), Qt::LeftButton);
    ModalAnswer box(ModalAnswer::accept());
    press("applyButton");
    QVERIFY(box.answered());
    QVERIFY2(box.text().contains("Auths: Every membership needs a member."),
             qPrintable(box.text()));
    QCOMPARE(dialog->findChild<QTabWidget *>("tabWidget")->tabText(0), QString("Auths"));
    QCOMPARE(db.count("groups_users"), 3);
    QCOMPARE(model(Auths)->rowCount(), 3);
}

void AdminTest::removeMembershipAtOnce()
{
    open();
    showPage(Auths);
    QCOMPARE(shownMembers(), QStringList({"alice", "bob"}));
    clickRow(Auths, rowOf(Auths, 2, "bob"));
    QTest::mouseClick(button(Auths, "delButton"), Qt::LeftButton);
    QCOMPARE(db.count("groups_users", QString("user_id=%1").arg(bob)), 0);
    QCOMPARE(db.count("groups_users"), 2);
    QCOMPARE(shownMembers(), QStringList({"alice"}));

    clickButton("cancelButton");
    QVERIFY(!dialog->isVisible());
    QCOMPARE(db.count("groups_users", QString("user_id=%1").arg(bob)), 0);
    QCOMPARE(db.count("groups_users", QString("user_id=%1").arg(carol)), 1);
}

void AdminTest::savedGroupsAndUsersReachMemberships()
{
    open();
    QTest::mouseClick(button(Users, "addButton"), Qt::LeftButton);
    editCell(Users, 3, "username", "dora");
    showPage(Groups);
    QTest::mouseClick(button(Groups, "addButton"), Qt::LeftButton);
    editCell(Groups, 3, "name", "Centre B");
    clickButton("applyButton");
    QCOMPARE(db.scalar("SELECT id FROM groups WHERE name='Centre B'").toInt(), 500);

    showPage(Auths);
    chooseGroup("Centre B");
    QCOMPARE(shownMembers(), QStringList());
    QTest::mouseClick(button(Auths, "addButton"), Qt::LeftButton);
    QStringList offered;
    pickMember(0, "dora", &offered);
    QVERIFY(offered.contains("dora"));
    clickButton("okButton");
    QCOMPARE(db.count("groups_users", "group_id=(SELECT id FROM groups WHERE name='Centre B') AND "
                                      "user_id=(SELECT id FROM users WHERE username='dora')"),
             1);
}

void AdminTest::membershipOfRemovedUserStillShows()
{
    open();
    clickRow(Users, rowOf(Users, model(Users)->fieldIndex("username"), "carol"));
    QTest::mouseClick(button(Users, "delButton"), Qt::LeftButton);
    clickButton("applyButton");
    QCOMPARE(db.count("users", "username='carol'"), 0);

    showPage(Auths);
    chooseGroup("O'Brien team");
    QCOMPARE(shownMembers(), QStringList({QString()}));
    clickRow(Auths, 0);
    QTest::mouseClick(button(Auths, "delButton"), Qt::LeftButton);
    QCOMPARE(db.count("groups_users", QString("group_id=%1").arg(obrien)), 0);
    QCOMPARE(db.count("groups_users"), 2);
}

void AdminTest::lostConnectionIsReported()
{
    open();
    editCell(Users, rowOf(Users, model(Users)->fieldIndex("username"), "bob"), "email",
             "robert@example.org");
    QSqlQuery query(QSqlDatabase::database());
    QVERIFY(query.exec("SELECT CONNECTION_ID()") && query.next());
    QVERIFY(db.exec("KILL " + query.value(0).toString()));

    ModalAnswer box(ModalAnswer::accept());
    press("okButton");
    QVERIFY(box.answered());
    QVERIFY2(box.text().contains("User: Lost connection to server during query; log out and log "
                                 "in again to reconnect."),
             qPrintable(box.text()));
    QVERIFY(dialog->isVisible());
    QVERIFY(model(Users)->isDirty());
    QCOMPARE(db.count("users", "email='robert@example.org'"), 0);

    dialog.reset();
    QString error;
    QVERIFY2(db.openDefault(&error), qPrintable(error));
}

void AdminTest::preferencesStillCloseOnOk()
{
    settings.clear();
    PreferenceDialog preferences(nullptr);
    preferences.show();
    QSignalSpy accepted(&preferences, &QDialog::accepted);
    ModalAnswer box(ModalAnswer::accept(), 300);
    QTest::mouseClick(preferences.findChild<QPushButton *>("okButton"), Qt::LeftButton);
    QTest::qWait(400);
    QVERIFY(!box.answered());
    QCOMPARE(accepted.count(), 1);
}

void AdminTest::mainWindowOpensAdmin()
{
    settings.clear();
    MainWindow window;
    window.setEnabled(true);
    ModalAnswer answer(ModalAnswer::reject());
    window.findChild<QAction *>("actionAdministration")->trigger();
    QVERIFY(answer.answered());
    QCOMPARE(answer.className(), QString("AdminDialog"));
}

QTEST_MAIN(AdminTest)
#include "tst_admin.moc"
