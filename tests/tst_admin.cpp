#include <QComboBox>
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
#include "modalanswer.h"
#include "testdatabase.h"
#include "testsettings.h"

// The administration dialog driven as a user would, against the real server: what its grids
// show, and what reaches the tables on "Apply", "Ok", "Cancel" and at once.
class AdminTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY_CREATE(db); }
    void init();
    void cleanup() { dialog.reset(); }
    void cleanupTestCase() { db.drop(); }

    void columns_data();
    void columns();
    void newUserWrittenOnlyBySave_data();
    void newUserWrittenOnlyBySave();
    void requiredColumn_data();
    void requiredColumn();
    void failedSaveNamesPageAndKeepsEdits();
    void removeUsersOnSave();
    void setPassword_data();
    void setPassword();
    void membershipRemovedAtOnce();
    void savedGroupsAndUsersReachMemberships();
    void lostConnectionIsReported();

private:
    enum Page { Users, Groups, Auths };

    void showPage(Page page);
    QTableView *view(Page page) const;
    QSqlTableModel *model(Page page) const
    {
        return qobject_cast<QSqlTableModel *>(view(page)->model());
    }
    void pageButton(Page page, const char *name)
    {
        QTest::mouseClick(view(page)->parentWidget()->findChild<QPushButton *>(name),
                          Qt::LeftButton);
    }
    void press(const char *name)
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(name), Qt::LeftButton);
    }
    // Presses a dialog button after which no message may appear.
    void clickButton(const char *name);
    void clickRow(Page page, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void editCell(Page page, int row, const QString &column, const QString &text);
    int rowOf(Page page, int column, const QString &text) const;
    int userRow(const QString &name) const
    {
        return rowOf(Users, model(Users)->fieldIndex("username"), name);
    }
    QString shownPage() const { return dialog->findChild<QTabWidget *>("tabWidget")->tabText(0); }
    QStringList shownMembers() const;
    void chooseGroup(const QString &name);

    // A new row's id came from the server's counter (set to 500), where the layout has one.
    static QString serverId() { return TestDatabase::minimalLayout() ? "" : "id>=500 AND "; }
    TestDatabase db;
    TestSettings settings;
    std::unique_ptr<AdminDialog> dialog;
    int bob = 0;
    int obrien = 0;
};

void AdminTest::init()
{
    for (const char *table : {"users", "groups", "groups_users"})
        QVERIFY(db.exec(QString("TRUNCATE TABLE %1").arg(table)));
    const int alice = db.addUser("alice", "alice-pw");
    bob = db.addUser("bob", "bob-pw");
    const int carol = db.addUser("carol", "carol-pw");
    const int centre = db.addGroup("Centre A");
    obrien = db.addGroup("O'Brien team");
    db.addGroup("Empty");
    db.addMembership(centre, alice);
    db.addMembership(centre, bob);
    db.addMembership(obrien, carol);
    // Ids the program would make up itself (the largest plus one) are far from these.
    for (const char *table : {"users", "groups", "groups_users"})
        QVERIFY(db.exec(QString("ALTER TABLE %1 AUTO_INCREMENT = 500").arg(table)));
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
    const QMetaObject *pages[] = {&UsersAdminFormWidget::staticMetaObject,
                                  &GroupsAdminFormWidget::staticMetaObject,
                                  &AuthsAdminFormWidget::staticMetaObject};
    for (auto *widget : dialog->findChildren<TableAdminFormWidget *>()) {
        if (widget->metaObject() == pages[page])
            return widget->findChild<QTableView *>("tableView");
    }
    return nullptr;
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

void AdminTest::columns_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("headers");
    QTest::newRow("users") << int(Users)
                           << QStringList{"User name", "First name", "Second name", "E-mail"};
    QTest::newRow("groups") << int(Groups) << QStringList{"Name"};
    QTest::newRow("auths") << int(Auths) << QStringList{"Member"};
}

// Re-reading, choosing a group and saving rebuild the grid; the shown columns stay as they were.
void AdminTest::columns()
{
    QFETCH(int, page);
    QFETCH(QStringList, headers);
    const Page p = Page(page);
    auto shown = [&] {
        QStringList labels;
        for (int column = 0; column < model(p)->columnCount(); ++column)
            if (!view(p)->isColumnHidden(column))
                labels << model(p)->headerData(column, Qt::Horizontal).toString();
        return labels;
    };
    QCOMPARE(shown(), headers);
    clickButton("defaultButton");
    QCOMPARE(shown(), headers);
    if (p == Auths)
        chooseGroup("O'Brien team");
    clickButton("applyButton");
    QCOMPARE(shown(), headers);
}

void AdminTest::newUserWrittenOnlyBySave_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("Cancel") << "cancelButton" << false << false;
    QTest::newRow("Default") << "defaultButton" << false << true;
    QTest::newRow("Apply") << "applyButton" << true << true;
    QTest::newRow("Ok") << "okButton" << true << false;
}

void AdminTest::newUserWrittenOnlyBySave()
{
    QFETCH(QString, button);
    QFETCH(bool, written);
    QFETCH(bool, staysOpen);
    editCell(Users, userRow("bob"), "username", "robert");
    pageButton(Users, "addButton");
    editCell(Users, 3, "username", "dora");
    editCell(Users, 3, "email", "dora@example.org");
    QCOMPARE(db.count("users", "username IN ('dora', 'robert')"), 0);

    QSignalSpy accepted(dialog.get(), &QDialog::accepted);
    clickButton(qPrintable(button));
    QCOMPARE(dialog->isVisible(), staysOpen);
    QCOMPARE(accepted.count(), button == "okButton" ? 1 : 0);
    // Whatever follows writes what was discarded or saved no second time.
    if (staysOpen) {
        QCOMPARE(model(Users)->rowCount(), written ? 4 : 3);
        clickButton("okButton");
    }
    QCOMPARE(db.count("users"), written ? 4 : 3);
    QCOMPARE(db.count("users", "username = 'bob'"), written ? 0 : 1);
    // The server chose the id, where it has a counter; the stored password is the column's
    // default.
    QCOMPARE(db.count("users", serverId() + "username='dora' AND email='dora@example.org' AND "
                                            "password=''"),
             written ? 1 : 0);
}

void AdminTest::requiredColumn_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("newRow");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString name = "User: Every user needs a user name.";
    QTest::newRow("new user with blanks as name") << int(Users) << true << "username"
                                                  << "   " << name;
    QTest::newRow("existing name cleared") << int(Users) << false << "username"
                                           << "" << name;
    QTest::newRow("new group left empty")
        << int(Groups) << true << QString() << QString() << "Groups: Every group needs a name.";
    QTest::newRow("membership without member") << int(Auths) << true << QString() << QString()
                                               << "Auths: Every membership needs a member.";
}

void AdminTest::requiredColumn()
{
    QFETCH(int, page);
    QFETCH(bool, newRow);
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QString, message);
    const Page p = Page(page);
    showPage(p);
    const int rows = model(p)->rowCount();
    int row = userRow("bob");
    if (newRow) {
        pageButton(p, "addButton");
        row = rows;
    }
    if (!column.isEmpty())
        editCell(p, row, column, text);
    showPage(p == Users ? Groups : Users);

    ModalAnswer box(ModalAnswer::accept());
    press("okButton");
    QVERIFY(box.answered());
    QVERIFY2(box.text().contains(message), qPrintable(box.text()));
    QVERIFY(dialog->isVisible());
    QCOMPARE(shownPage(), message.section(':', 0, 0));
    QVERIFY(model(p)->isDirty());
    QCOMPARE(db.count("users"), 3);
    QCOMPARE(db.count("users", "username='bob'"), 1);
    QCOMPARE(db.count("groups"), 3);
    QCOMPARE(db.count("groups_users"), 3);
}

void AdminTest::failedSaveNamesPageAndKeepsEdits()
{
    const int nameColumn = model(Users)->fieldIndex("username");
    pageButton(Users, "addButton");
    editCell(Users, 3, "username", "dora");
    pageButton(Users, "addButton");
    editCell(Users, 4, "username", "alice");
    showPage(Groups);
    pageButton(Groups, "addButton");
    editCell(Groups, 3, "name", "Centre B");

    ModalAnswer box(ModalAnswer::accept());
    QSignalSpy accepted(dialog.get(), &QDialog::accepted);
    press("okButton");
    QVERIFY(box.answered());
    QCOMPARE(box.title(), QString("Not saved"));
    QVERIFY2(box.text().contains("User: Duplicate entry 'alice'"), qPrintable(box.text()));
    QVERIFY2(!box.text().contains("Groups:"), qPrintable(box.text()));
    QCOMPARE(accepted.count(), 0);
    // The failing page is shown; the other pages were still saved.
    QCOMPARE(shownPage(), QString("User"));
    QCOMPARE(db.count("groups", "name='Centre B'"), 1);
    QCOMPARE(db.count("users", "username='dora'"), 1);
    QCOMPARE(model(Users)->index(4, nameColumn).data().toString(), QString("alice"));

    // Mended, the rest is written once: the row that did get through is not sent again.
    editCell(Users, 4, "username", "erin");
    clickButton("okButton");
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(db.count("users", "username IN ('dora', 'erin')"), 2);
    QCOMPARE(db.count("users"), 5);
    QCOMPARE(db.count("groups"), 4);
}

void AdminTest::removeUsersOnSave()
{
    // Two new rows and an older one, all selected and removed at once.
    for (const char *name : {"dora", "erin"}) {
        pageButton(Users, "addButton");
        editCell(Users, model(Users)->rowCount() - 1, "username", name);
    }
    clickRow(Users, 3);
    clickRow(Users, 4, Qt::ControlModifier);
    clickRow(Users, userRow("alice"), Qt::ControlModifier);
    pageButton(Users, "delButton");
    QCOMPARE(model(Users)->rowCount(), 3);
    QCOMPARE(db.count("users"), 3);

    clickButton("applyButton");
    QCOMPARE(db.count("users", "username IN ('bob', 'carol')"), 2);
    QCOMPARE(db.count("users"), 2);
}

void AdminTest::setPassword_data()
{
    QTest::addColumn<bool>("selectRow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("digest"); // empty: no password changes
    // Worked out independently: md5 of the UTF-8 bytes.
    QTest::newRow("non-ascii") << true << QString::fromUtf8("Žluťoučký kůň") << "OK"
                               << "7dae2863a1675599914e7e3b1b9ac4fc";
    QTest::newRow("no row selected") << false << ""
                                     << ""
                                     << "";
    QTest::newRow("typed, then cancelled") << true << "typed"
                                           << "Cancel"
                                           << "";
    QTest::newRow("empty password confirmed") << true << ""
                                              << "OK"
                                              << "";
}

void AdminTest::setPassword()
{
    QFETCH(bool, selectRow);
    QFETCH(QString, typed);
    QFETCH(QString, answer);
    QFETCH(QString, digest);
    const QString passwords = "SELECT GROUP_CONCAT(password ORDER BY id) FROM users WHERE ";
    const QString before = db.scalar(passwords + "TRUE").toString();
    const QString others = db.scalar(passwords + "username <> 'bob'").toString();
    if (selectRow)
        clickRow(Users, userRow("bob"));

    QString label;
    QLineEdit::EchoMode echo = QLineEdit::Normal;
    ModalAnswer prompt(
        [&](QWidget *modal) {
            auto *input = qobject_cast<QInputDialog *>(modal);
            QVERIFY(input);
            label = input->labelText();
            echo = input->textEchoMode();
            // Typed as key events carrying text: keyClicks only knows Latin-1 keys.
            for (const QChar ch : typed)
                QTest::sendKeyEvent(QTest::Click, input->findChild<QLineEdit *>(), Qt::Key_unknown,
                                    QString(ch), Qt::NoModifier);
            ModalAnswer::clickButton(answer)(modal);
        },
        selectRow ? 10000 : 300);
    pageButton(Users, "setPassButton");
    if (!selectRow)
        QTest::qWait(400);
    QCOMPARE(prompt.answered(), selectRow);
    if (selectRow) {
        QCOMPARE(prompt.title(), QString("set password to bob"));
        QCOMPARE(label, QString("Password:"));
        QCOMPARE(echo, QLineEdit::Password);
    }
    // Written only by the save.
    QCOMPARE(db.scalar(passwords + "TRUE").toString(), before);
    clickButton("applyButton");
    QCOMPARE(db.scalar(passwords + "username <> 'bob'").toString(), others);
    if (digest.isEmpty())
        QCOMPARE(db.scalar(passwords + "TRUE").toString(), before);
    else
        QCOMPARE(db.scalar(passwords + "username = 'bob'").toString(), digest);
}

// The group chooser shows each group's members; memberships go at once, without a save, and a
// "Cancel" does not bring them back; the membership of a removed user still shows (with no
// name) and can be removed.
void AdminTest::membershipRemovedAtOnce()
{
    clickRow(Users, userRow("carol"));
    pageButton(Users, "delButton");
    clickButton("applyButton");
    QCOMPARE(db.count("users", "username='carol'"), 0);

    showPage(Auths);
    QCOMPARE(shownMembers(), QStringList({"alice", "bob"}));
    chooseGroup("Empty");
    QCOMPARE(shownMembers(), QStringList());
    chooseGroup("Centre A");
    clickRow(Auths, rowOf(Auths, 2, "bob"));
    pageButton(Auths, "delButton");
    QCOMPARE(db.count("groups_users", QString("user_id=%1").arg(bob)), 0);
    QCOMPARE(shownMembers(), QStringList({"alice"}));

    chooseGroup("O'Brien team");
    QCOMPARE(shownMembers(), QStringList({QString()}));
    clickRow(Auths, 0);
    pageButton(Auths, "delButton");
    QCOMPARE(db.count("groups_users", QString("group_id=%1").arg(obrien)), 0);

    // A removal the server refuses is said.
    chooseGroup("Centre A");
    clickRow(Auths, 0);
    QVERIFY_SQL(db, "RENAME TABLE groups_users TO groups_users_away");
    ModalAnswer refused(ModalAnswer::accept());
    pageButton(Auths, "delButton");
    QVERIFY_SQL(db, "RENAME TABLE groups_users_away TO groups_users");
    QVERIFY(refused.answered());
    QVERIFY2(refused.text().startsWith("cannot remove the membership: "),
             qPrintable(refused.text()));
    clickButton("cancelButton");
    QVERIFY(!dialog->isVisible());
    QCOMPARE(db.count("groups_users"), 1);
}

void AdminTest::savedGroupsAndUsersReachMemberships()
{
    pageButton(Users, "addButton");
    editCell(Users, 3, "username", "dora");
    showPage(Groups);
    pageButton(Groups, "addButton");
    editCell(Groups, 3, "name", "Centre B");
    clickButton("applyButton");

    showPage(Auths);
    chooseGroup("Centre B");
    QCOMPARE(shownMembers(), QStringList());
    pageButton(Auths, "addButton");
    // The member is picked in the cell's combo box by typing the user name.
    QTableView *table = view(Auths);
    const QModelIndex cell = table->model()->index(0, 2);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell).center());
    QTest::keyClick(table, Qt::Key_F2);
    auto *editor = qobject_cast<QComboBox *>(QApplication::focusWidget());
    QVERIFY(editor);
    QStringList offered;
    for (int i = 0; i < editor->count(); ++i)
        offered << editor->itemText(i);
    QCOMPARE(offered, QStringList({"alice", "bob", "carol", "dora"}));
    QTest::keyClicks(editor, "dora");
    QTest::keyClick(editor, Qt::Key_Tab);
    QCOMPARE(db.count("groups_users"), 3);
    clickButton("applyButton");
    QCOMPARE(shownMembers(), QStringList({"dora"}));
    QCOMPARE(db.count("groups_users",
                      serverId() + "group_id=(SELECT id FROM groups WHERE name='Centre B') AND "
                                   "user_id=(SELECT id FROM users WHERE username='dora')"),
             1);
    QCOMPARE(db.count("groups_users"), 4);
}

void AdminTest::lostConnectionIsReported()
{
    editCell(Users, userRow("bob"), "email", "robert@example.org");
    QSqlQuery query(QSqlDatabase::database());
    QVERIFY(query.exec("SELECT CONNECTION_ID()") && query.next());
    QVERIFY(db.exec("KILL " + query.value(0).toString()));

    ModalAnswer box(ModalAnswer::accept());
    press("okButton");
    QVERIFY(box.answered());
    QVERIFY2(box.text().contains("User: Lost connection to server during query; the connection "
                                 "to the server was lost, and is opened again at the next Apply."),
             qPrintable(box.text()));
    QVERIFY(dialog->isVisible());
    QVERIFY(model(Users)->isDirty());
    QCOMPARE(db.count("users", "email='robert@example.org'"), 0);

    dialog.reset();
    QString error;
    QVERIFY2(db.openDefault(&error), qPrintable(error));
}

QTEST_MAIN(AdminTest)
#include "tst_admin.moc"
