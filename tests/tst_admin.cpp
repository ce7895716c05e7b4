#include <QtSql>
#include <QtTest>
#include <QtWidgets>

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
    void init()
    {
        for (const char *table : {"users", "groups", "groups_users"})
            QVERIFY(db.exec(QString("TRUNCATE TABLE %1").arg(table)));
        const int alice = db.addUser("alice", "alice-pw");
        bob = db.addUser("bob", "bob-pw");
        const int carol = db.addUser("carol", "carol-pw");
        const int centre = db.addGroup("Centre A");
        const int obrien = db.addGroup("O'Brien team");
        db.addGroup("Empty");
        db.addMembership(centre, alice);
        db.addMembership(centre, bob);
        db.addMembership(obrien, carol);
        db.addMembership(centre, 999); // of a user since deleted
        // Ids the program would make up itself (the largest plus one) are far from these.
        for (const char *table : {"users", "groups", "groups_users"})
            QVERIFY(db.exec(QString("ALTER TABLE %1 AUTO_INCREMENT = 500").arg(table)));
        dialog = std::make_unique<AdminDialog>(nullptr);
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }

    void cleanup() { dialog.reset(); }
    void cleanupTestCase() { db.drop(); }

    void newUserWrittenOnlyBySave_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("written"); // else discarded; "Ok" and "Cancel" close the dialog
        QTest::newRow("Cancel") << "cancelButton" << false;
        QTest::newRow("Default") << "defaultButton" << false;
        QTest::newRow("Apply") << "applyButton" << true;
        QTest::newRow("Ok") << "okButton" << true;
    }

    void newUserWrittenOnlyBySave()
    {
        QFETCH(QString, button);
        QFETCH(bool, written);
        editCell(Users, userRow("bob"), "username", "robert");
        pageButton(Users, "addButton");
        editCell(Users, 3, "username", "dora");
        editCell(Users, 3, "email", "d\\'ora@example.org");
        QCOMPARE(db.count("users", "username IN ('dora', 'robert')"), 0);

        clickButton(qPrintable(button));
        QCOMPARE(dialog->isVisible(), button != "okButton" && button != "cancelButton");
        // Whatever follows writes what was discarded or saved no second time.
        if (dialog->isVisible())
            clickButton("okButton");
        QCOMPARE(db.count("users"), written ? 4 : 3);
        QCOMPARE(db.count("users", "username = 'bob'"), written ? 0 : 1);
        // The server chose the id, where it has a counter; the stored password is the column's
        // default; the backslash and the quote are kept as typed.
        QCOMPARE(db.count("users", serverId() +
                                       "username='dora' AND password='' AND email="
                                       "CONCAT('d', CHAR(92), CHAR(39), 'ora@example.org')"),
                 written ? 1 : 0);
    }

    void requiredColumn_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("message");
        QTest::newRow("user name of blanks") << int(Users) << "User: Every user needs a user name.";
        QTest::newRow("group") << int(Groups) << "Groups: Every group needs a name.";
        QTest::newRow("membership") << int(Auths) << "Auths: Every membership needs a member.";
    }

    // A new row without its required column: told, the page shown, nothing written.
    void requiredColumn()
    {
        QFETCH(int, page);
        QFETCH(QString, message);
        const Page p = Page(page);
        showPage(p);
        pageButton(p, "addButton");
        if (p == Users)
            editCell(p, 3, "username", "   ");
        showPage(p == Users ? Groups : Users);
        ModalAnswer box(ModalAnswer::accept());
        press("okButton");
        QVERIFY2(box.answered() && box.text().contains(message), qPrintable(box.text()));
        QVERIFY(dialog->isVisible());
        QCOMPARE(shownPage(), message.section(':', 0, 0));
        QVERIFY(model(p)->isDirty());
        QCOMPARE(db.count("users") + db.count("groups") + db.count("groups_users"), 10);
    }

    void failedSaveNamesPageAndKeepsEdits()
    {
        pageButton(Users, "addButton");
        editCell(Users, 3, "username", "dora");
        pageButton(Users, "addButton");
        editCell(Users, 4, "username", "alice");
        showPage(Groups);
        pageButton(Groups, "addButton");
        editCell(Groups, 3, "name", "Centre B");

        ModalAnswer box(ModalAnswer::accept());
        press("okButton");
        QCOMPARE(box.title(), QString("Not saved"));
        QVERIFY2(box.text().contains("User: Duplicate entry 'alice'"), qPrintable(box.text()));
        // The failing page is shown; the other pages were still saved.
        QCOMPARE(shownPage(), QString("User"));
        QCOMPARE(db.count("groups", "name='Centre B'") + db.count("users", "username='dora'"), 2);
        QCOMPARE(model(Users)->index(4, model(Users)->fieldIndex("username")).data(),
                 QVariant("alice"));

        // Mended, the rest is written once: the row that did get through is not sent again.
        editCell(Users, 4, "username", "erin");
        clickButton("okButton");
        QVERIFY(!dialog->isVisible());
        QCOMPARE(db.count("users", "username IN ('dora', 'erin')"), 2);
        QCOMPARE(db.count("users") + db.count("groups"), 9);
    }

    void removeUsersOnSave()
    {
        // A new row and an older one, both selected and removed at once.
        pageButton(Users, "addButton");
        editCell(Users, 3, "username", "dora");
        clickRow(Users, 3);
        clickRow(Users, userRow("alice"), Qt::ControlModifier);
        pageButton(Users, "delButton");
        QCOMPARE(db.count("users"), 3);
        clickButton("applyButton");
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(username ORDER BY username) FROM users").toString(),
                 QString("bob,carol"));
    }

    // The password is asked hidden, and written as the md5 of its UTF-8 bytes by the save.
    void setPassword()
    {
        const QString passwords = "SELECT GROUP_CONCAT(password ORDER BY id) FROM users";
        const QString before = db.scalar(passwords).toString();
        const QString bobs = db.scalar(passwords + " WHERE username = 'bob'").toString();
        clickRow(Users, userRow("bob"));
        QString label; // with the echo mode
        ModalAnswer prompt([&](QWidget *modal) {
            auto *input = qobject_cast<QInputDialog *>(modal);
            QVERIFY(input);
            label = input->labelText() + QString::number(input->textEchoMode());
            // Typed as key events carrying text: keyClicks only knows Latin-1 keys.
            for (const QChar ch : QString::fromUtf8("Žluťoučký kůň"))
                QTest::sendKeyEvent(QTest::Click, input->findChild<QLineEdit *>(), Qt::Key_unknown,
                                    QString(ch), Qt::NoModifier);
            ModalAnswer::clickButton("OK")(modal);
        });
        pageButton(Users, "setPassButton");
        QVERIFY(prompt.answered());
        QCOMPARE(QStringList({prompt.title(), label}),
                 QStringList(
                     {"set password to bob", "Password:" + QString::number(QLineEdit::Password)}));
        QCOMPARE(db.scalar(passwords).toString(), before);
        clickButton("applyButton");
        // Worked out independently.
        QCOMPARE(db.scalar(passwords).toString(),
                 QString(before).replace(bobs, "7dae2863a1675599914e7e3b1b9ac4fc"));
    }

    // The group chooser shows each group's members; memberships go at once, without a save, and a
    // "Cancel" does not bring them back.
    void membershipRemovedAtOnce()
    {
        showPage(Auths);
        // A membership of a deleted user shows too, so that it can be removed.
        QCOMPARE(shownMembers(), QStringList({"", "alice", "bob"}));
        chooseGroup("O'Brien team");
        QCOMPARE(shownMembers(), QStringList({"carol"}));
        chooseGroup("Centre A");
        clickRow(Auths, rowOf(Auths, 2, "bob"));
        pageButton(Auths, "delButton");
        QCOMPARE(db.count("groups_users", QString("user_id=%1").arg(bob)), 0);
        QCOMPARE(shownMembers(), QStringList({"", "alice"}));
        // A removal the server refuses is said.
        clickRow(Auths, 0);
        QVERIFY_SQL(db, "RENAME TABLE groups_users TO groups_users_away");
        ModalAnswer refused(ModalAnswer::accept());
        pageButton(Auths, "delButton");
        QVERIFY_SQL(db, "RENAME TABLE groups_users_away TO groups_users");
        QVERIFY2(refused.text().startsWith("cannot remove the membership: "),
                 qPrintable(refused.text()));
        clickButton("cancelButton");
        QCOMPARE(db.count("groups_users"), 3);
    }

    // Another group is shown only once the memberships not applied yet are applied or dropped.
    void choosingAnotherGroupAsks()
    {
        showPage(Auths);
        pageButton(Auths, "addButton");
        QVERIFY(model(Auths)->setData(model(Auths)->index(3, 2),
                                      db.scalar("SELECT id FROM users WHERE username = 'carol'")));
        auto *combo = view(Auths)->parentWidget()->findChild<QComboBox *>("comboBox");
        combo->setFocus();
        for (const QString answer : {"Cancel", "Apply"}) {
            ModalAnswer box(ModalAnswer::clickButton(answer));
            QTest::keyClick(combo, Qt::Key_Down);
            QVERIFY(box.answered());
            QCOMPARE(combo->currentText(), answer == "Cancel" ? "Centre A" : "O'Brien team");
            QCOMPARE(db.count("groups_users"), answer == "Cancel" ? 4 : 5);
        }
        QCOMPARE(shownMembers(), QStringList{"carol"});
    }

    void savedGroupsAndUsersReachMemberships()
    {
        pageButton(Users, "addButton");
        editCell(Users, 3, "username", "dora");
        showPage(Groups);
        pageButton(Groups, "addButton");
        editCell(Groups, 3, "name", "Centre B");
        clickButton("applyButton");

        showPage(Auths);
        chooseGroup("Centre B");
        pageButton(Auths, "addButton");
        // The member is picked in the cell's combo box by typing the user name.
        QTableView *table = view(Auths);
        const QModelIndex cell = table->model()->index(0, 2);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(cell).center());
        QTest::keyClick(table, Qt::Key_F2);
        auto *editor = qobject_cast<QComboBox *>(QApplication::focusWidget());
        QVERIFY(editor);
        QTest::keyClicks(editor, "dora");
        QTest::keyClick(editor, Qt::Key_Tab);
        clickButton("applyButton");
        QCOMPARE(shownMembers(), QStringList({"dora"}));
        QCOMPARE(db.count("groups_users",
                          serverId() + "group_id=(SELECT id FROM groups WHERE name='Centre B') AND "
                                       "user_id=(SELECT id FROM users WHERE username='dora')"),
                 1);
    }

private:
    enum Page { Users, Groups, Auths };

    void showPage(Page page)
    {
        auto *list = dialog->findChild<QListWidget *>("listWidget");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(page)).center());
    }

    QTableView *view(Page page) const
    {
        QWidget *form = dialog->findChild<UsersAdminFormWidget *>();
        if (page != Users)
            form = page == Groups
                       ? static_cast<QWidget *>(dialog->findChild<GroupsAdminFormWidget *>())
                       : dialog->findChild<AuthsAdminFormWidget *>();
        return form->findChild<QTableView *>("tableView");
    }

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
    void clickButton(const char *name)
    {
        ModalAnswer unexpected(ModalAnswer::accept());
        press(name);
        QVERIFY2(!unexpected.answered(), qPrintable(unexpected.text()));
    }

    void clickRow(Page page, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
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
    void editCell(Page page, int row, const QString &column, const QString &text)
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

    int rowOf(Page page, int column, const QString &text) const
    {
        QAbstractItemModel *m = view(page)->model();
        return m->match(m->index(0, column), Qt::DisplayRole, text, 1, Qt::MatchExactly)
            .value(0)
            .row();
    }
    int userRow(const QString &name) const
    {
        return rowOf(Users, model(Users)->fieldIndex("username"), name);
    }
    QString shownPage() const { return dialog->findChild<QTabWidget *>("tabWidget")->tabText(0); }
    QStringList shownMembers() const
    {
        QStringList names;
        QAbstractItemModel *m = view(Auths)->model();
        for (int row = 0; row < m->rowCount(); ++row)
            names << m->index(row, 2).data().toString();
        names.sort();
        return names;
    }

    void chooseGroup(const QString &name)
    {
        auto *combo = view(Auths)->parentWidget()->findChild<QComboBox *>("comboBox");
        combo->setFocus();
        // Keyboard steps emit activated(), as a choice with the mouse does.
        QTest::keyClick(combo, Qt::Key_Home);
        for (int i = 0; i < combo->count() && combo->currentText() != name; ++i)
            QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(combo->currentText(), name);
    }

    // A new row's id came from the server's counter (set to 500), where the layout has one.
    static QString serverId() { return TestDatabase::minimalLayout() ? "" : "id>=500 AND "; }
    TestDatabase db;
    TestSettings settings;
    std::unique_ptr<AdminDialog> dialog;
    int bob = 0;
};

QTEST_MAIN(AdminTest)
#include "tst_admin.moc"
