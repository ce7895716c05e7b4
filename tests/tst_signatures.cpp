#include <QtSql>
#include <QtTest>
#include <QtWidgets>
#include <atomic>
#include <thread>

#include "editor/extquestionswidget.h"
#include "editor/extrecordeditor.h"
#include "editor/extrecordmodel.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "model/extfieldqueries.h"
#include "model/extmodel.h"
#include "model/extsignatures.h"
#include "testdatabase.h"
#include "testhelpers.h"

namespace {
struct SignAttempt
{
    int id;
    QString password, message; // message: of the refusal, empty for none
    bool written;
};
} // namespace
Q_DECLARE_METATYPE(SignAttempt)

// Questions on fields and signatures of rows on the real server: what each step writes, that
// a signed row keeps its values, that the schema keeps the records unchangeable, and the
// database without the tables.
class SignaturesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QVERIFY_DB(db, addAuditTrail);
        alice = db.addUser("alice", "a");
        bob = db.addUser("bob", "b");
    }

    void init()
    {
        TestHelpers::logIn(alice);
        // Signatures and messages cannot be deleted: each test starts from new tables. Rows 1 and
        // 2 are fully reviewed, row 3 not at all.
        QVERIFY_SCRIPT(db, R"(DROP TABLE IF EXISTS tstsigned, ext_records_signatures,
      ext_records_queries, ext_records_query_messages;
    CREATE TABLE tstsigned (id INT PRIMARY KEY, name VARCHAR(40), dose INT, group_id INT);
    INSERT INTO tstsigned VALUES (1, 'Anna', 10, 0), (2, 'Bert', 20, 0), (3, 'Cleo', 30, 0);
    DELETE FROM ext_records; DELETE FROM ext_records_fields;
    INSERT INTO ext_records (id, table_name, table_id) VALUES (10, 'tstsigned', 1),
      (20, 'tstsigned', 2);
    INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (10, 'name', 1),
      (10, 'dose', 1), (20, 'name', 1), (20, 'dose', 1))");
        QVERIFY_DB(db, addReviewTables);
    }

    void cleanupTestCase() { db.drop(); }

    void signAndWithdraw()
    {
        ExtModel model("tstsigned");
        QVERIFY(model.keepsReview());
        QVERIFY(model.select());
        QVERIFY(sign(model, {1, 2}, "approved"));
        QCOMPARE(db.rows("SELECT table_id, user_id, meaning, withdrawn_by, withdrawn, reason, "
                         "ABS(TIMESTAMPDIFF(SECOND, signed, UTC_TIMESTAMP())) < 60 FROM "
                         "ext_records_signatures ORDER BY table_id"),
                 QStringList({QString("1 %1 approved NULL NULL NULL 1").arg(alice),
                              QString("2 %1 approved NULL NULL NULL 1").arg(alice)}));
        QCOMPARE(db.rows("SELECT table_id, action, new_value FROM ext_records_audit WHERE action = "
                         "'sign' ORDER BY table_id"),
                 QStringList({"1 sign approved", "2 sign approved"}));

        // Bob neither signed nor administers (the group exists): he may not withdraw.
        const int administrators = db.addGroup("administrators");
        const ExtSignature signature = *model.signature(TestHelpers::rowOf(model, 1));
        ExtSignatures asBob("tstsigned", bob);
        QString why;
        QVERIFY(!asBob.withdraw(signature, "wrong dose", false, &why));
        QVERIFY(why.contains("alice"));
        ExtSignatures asAlice("tstsigned", alice);
        QVERIFY2(asAlice.withdraw(signature, "wrong dose", false, &why), qPrintable(why));
        QVERIFY(!asAlice.withdraw(signature, "again", true));
        QCOMPARE(db.rows("SELECT table_id, withdrawn_by, reason, withdrawn IS NOT NULL FROM "
                         "ext_records_signatures WHERE table_id = 1"),
                 QStringList{QString("1 %1 wrong dose 1").arg(alice)});
        exec("DELETE FROM groups WHERE id = " + QString::number(administrators));
    }

    void signRefused_data()
    {
        QTest::addColumn<QString>("elsewhere");
        QTest::addColumn<QString>("reason");
        QTest::newRow("saved elsewhere since loaded")
            << "UPDATE ext_records SET id = 11 WHERE id = 10"
            << "changed or deleted on another workstation";
        QTest::newRow("signed elsewhere")
            << "INSERT INTO ext_records_signatures (table_name, table_id, user_id, meaning, "
               "signed) "
               "VALUES ('tstsigned', 1, 2, 'approved', UTC_TIMESTAMP())"
            << "signed already, by bob";
    }

    void signRefused()
    {
        QFETCH(QString, elsewhere);
        QFETCH(QString, reason);
        ExtModel model("tstsigned");
        QVERIFY(model.select());
        exec(elsewhere);
        const int before = db.count("ext_records_signatures");
        ExtSignatures signatures("tstsigned", alice);
        // Row 2 would be signable: all or none.
        QString why;
        QVERIFY(!signatures.sign({model.records.at(TestHelpers::rowOf(model, 2)),
                                  model.records.at(TestHelpers::rowOf(model, 1))},
                                 "reviewed", &why));
        QVERIFY2(why.contains(reason), qPrintable(why));
        QCOMPARE(db.count("ext_records_signatures"), before);
    }

    void recordsCannotBeChanged_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("signature's meaning") << "UPDATE ext_records_signatures SET meaning = 'x'";
        QTest::newRow("signature removed") << "DELETE FROM ext_records_signatures";
        QTest::newRow("withdrawal without reason")
            << "UPDATE ext_records_signatures SET withdrawn = UTC_TIMESTAMP(), withdrawn_by = 1";
        QTest::newRow("message changed") << "UPDATE ext_records_query_messages SET text = 'x'";
        QTest::newRow("question removed") << "DELETE FROM ext_records_queries";
    }

    void recordsCannotBeChanged()
    {
        QFETCH(QString, statement);
        ExtModel model("tstsigned");
        QVERIFY(model.select());
        QVERIFY(sign(model, {1}));
        ExtFieldQueries questions("tstsigned", alice);
        QVERIFY(questions.open(1, "name", "spelling?"));
        QString error;
        QVERIFY(!db.exec(statement, &error));
        QVERIFY2(error.contains("cannot") || error.contains("only"), qPrintable(error));
        QCOMPARE(db.rows("SELECT meaning, withdrawn FROM ext_records_signatures"),
                 QStringList{"reviewed NULL"});
        QCOMPARE(db.rows("SELECT q.field_name, m.text FROM ext_records_queries q JOIN "
                         "ext_records_query_messages m ON m.query_id = q.id"),
                 QStringList{"name spelling?"});
    }

    // A signed row refuses its values, states and deletion at once in the model, and at the save
    // when it was signed after the load; a mark is the user's own note and is kept.
    void signedRowKeepsItsValues_data()
    {
        QTest::addColumn<bool>("signedBeforeLoad");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("saved");
        for (const bool before : {true, false}) {
            const QString when = before ? "signed, " : "signed after load, ";
            QTest::addRow("%s", qPrintable(when + "value")) << before << "value" << false;
            QTest::addRow("%s", qPrintable(when + "state")) << before << "state" << false;
            QTest::addRow("%s", qPrintable(when + "deletion")) << before << "delete" << false;
            QTest::addRow("%s", qPrintable(when + "mark")) << before << "mark" << true;
        }
    }

    void signedRowKeepsItsValues()
    {
        QFETCH(bool, signedBeforeLoad);
        QFETCH(QString, change);
        QFETCH(bool, saved);
        ExtModel other("tstsigned");
        QVERIFY(other.select());
        ExtModel model("tstsigned");
        QVERIFY(model.select());
        QVERIFY(sign(other, {1}));
        if (signedBeforeLoad)
            QVERIFY(model.select());
        QSignalSpy refusals(&model, &ExtModel::refused);
        const int row = TestHelpers::rowOf(model, 1);
        const int name = model.columnRecord.indexOf("name");
        if (change == "value")
            QCOMPARE(model.setData(model.index(row, name + 2), "Anke"), !signedBeforeLoad);
        else if (change == "state")
            model.setState(row, name, -1);
        else if (change == "delete")
            QCOMPARE(model.removeRecord(row), !signedBeforeLoad);
        else
            model.toggleMark(row);
        QCOMPARE(refusals.size(), signedBeforeLoad && !saved ? 1 : 0);
        if (!refusals.isEmpty())
            QVERIFY(refusals.first().first().toString().contains("alice"));
        QSignalSpy failed(&model, &ExtModel::saveFailed);
        QCOMPARE(model.save(), saved || signedBeforeLoad);
        if (!saved && !signedBeforeLoad)
            QVERIFY(failed.value(0).value(1).toString().contains("signed by alice"));
        QCOMPARE(
            db.rows("SELECT t.name, f.state FROM tstsigned t JOIN ext_records e ON e.table_id = "
                    "t.id AND e.table_name = 'tstsigned' JOIN ext_records_fields f ON "
                    "f.ext_record_id = e.id AND f.field_name = 'name' WHERE t.id = 1"),
            QStringList{"Anna 1"});
        QCOMPARE(db.count("ext_records_monitorings"), change == "mark" ? 1 : 0);
        QCOMPARE(db.count("ext_records_signatures", "withdrawn IS NULL AND table_id = 1"), 1);
        exec("DELETE FROM ext_records_monitorings");
    }

    void questionThread()
    {
        const QString trailBefore =
            db.scalar("SELECT COALESCE(MAX(id), 0) FROM ext_records_audit").toString();
        ExtFieldQueries asAlice("tstsigned", alice);
        ExtFieldQueries asBob("tstsigned", bob);
        QVERIFY(!asAlice.open(1, "dose", " "));
        QString why;
        QVERIFY2(asAlice.open(1, "dose", "10 or 100?", &why), qPrintable(why));
        QVERIFY(asAlice.open(2, "name", "spelling?"));
        QCOMPARE(asAlice.openCounts().value("1").value("dose"), 1);
        const auto thread = [this] {
            return db.rows("SELECT q.status, m.user_id, m.text FROM ext_records_queries q JOIN "
                           "ext_records_query_messages m ON m.query_id = q.id WHERE q.table_id = 1 "
                           "ORDER BY m.id");
        };
        ExtFieldQuery question = asBob.ofRow(1).value(0);
        QCOMPARE(question.fieldName, QString("dose"));
        QCOMPARE(question.openedByName, QString("alice"));
        QVERIFY(asBob.answer(question, "10, as on the sheet"));
        QCOMPARE(thread().first(), QString("answered %1 10 or 100?").arg(alice));
        // Only the one who asked closes, or an administrator; a closed question takes no answer.
        QVERIFY(!asBob.setClosed(question, true, false));
        QVERIFY(asAlice.setClosed(question, true, false));
        QVERIFY(!asBob.answer(question, "late", &why));
        QVERIFY(why.contains("closed"));
        QCOMPARE(asAlice.openCounts().value("1").value("dose"), 0);
        QVERIFY(asBob.setClosed(question, false, true));
        QVERIFY(asAlice.answer(question, "sure?"));
        QCOMPARE(thread(), QStringList({QString("open %1 10 or 100?").arg(alice),
                                        QString("open %1 10, as on the sheet").arg(bob),
                                        QString("open %1 sure?").arg(alice)}));
        QCOMPARE(asBob.ofRow(1).value(0).messages.value(1).userName, QString("bob"));
        QCOMPARE(
            db.rows("SELECT action, field_name, old_value, new_value FROM ext_records_audit WHERE "
                    "table_id = 1 AND id > " +
                    trailBefore + " ORDER BY id"),
            QStringList({"question dose NULL 10 or 100?", "answer dose NULL 10, as on the sheet",
                         "status dose answered closed", "status dose closed open",
                         "answer dose NULL sure?"}));
    }

    // Another workstation answers while this one does: it waits for the other's commit, and both
    // messages stay.
    void answersAtOnceAreBothKept()
    {
        ExtFieldQueries asAlice("tstsigned", alice);
        QVERIFY(asAlice.open(1, "name", "spelling?"));
        const ExtFieldQuery question = asAlice.ofRow(1).value(0);
        QString error;
        std::atomic<bool> locked = false;
        std::thread other([&] {
            QSqlDatabase connection = db.connection("other");
            if (!connection.open())
                return;
            QSqlQuery query(connection);
            query.exec("START TRANSACTION");
            query.exec("SELECT status FROM ext_records_queries WHERE id = " +
                       QString::number(question.id) + " FOR UPDATE");
            locked = true;
            query.exec(QString("INSERT INTO ext_records_query_messages (query_id, user_id, time, "
                               "text) VALUES (%1, %2, UTC_TIMESTAMP(), 'from bob')")
                           .arg(question.id)
                           .arg(bob));
            QThread::msleep(500);
            query.exec("COMMIT");
            error = query.lastError().text();
        });
        for (int wait = 0; !locked && wait < 500; ++wait)
            QThread::msleep(10);
        ExtFieldQueries asCarl("tstsigned", bob);
        QString why;
        const bool answered = asCarl.answer(question, "from carl", &why);
        other.join();
        QSqlDatabase::removeDatabase("other");
        QVERIFY2(answered, qPrintable(why));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(db.rows("SELECT text FROM ext_records_query_messages ORDER BY id"),
                 QStringList({"spelling?", "from bob", "from carl"}));
    }

    void databaseWithoutReviewTables()
    {
        exec("DROP TABLE ext_records_signatures, ext_records_queries, ext_records_query_messages");
        {
            ExtModel model("tstsigned");
            QVERIFY(!model.keepsReview());
            QVERIFY(model.select());
            QVERIFY(model.setData(model.index(TestHelpers::rowOf(model, 1), 2 + 1), "Anke"));
            QVERIFY(model.save());
            QVERIFY(!model.signature(0));
            // The editor offers nothing it could not keep.
            auto editor = openEditor(1);
            QVERIFY(!editor->findChild<QAction *>("actionSign")->isEnabled());
            QCOMPARE(editor->findChild<QComboBox *>("reviewFilter")
                         ->findText("rows with open questions"),
                     -1);
            QVERIFY(editor->recordEditor->findChild<QToolButton *>("askButton")->isHidden());
            QVERIFY(!editor->reviewTable().first().contains("signed by"));
        }
        // The script adds the tables to the existing database; a second run changes nothing.
        for (int run = 0; run < 2; ++run) {
            QProcess script;
            script.start("bash", {STAVIMOR_SOURCE_DIR "/db/add_review.sh", "--no-defaults",
                                  "--protocol=tcp", "--host=" + TestDatabase::host(),
                                  "--port=" + QString::number(TestDatabase::port()),
                                  "--user=" + TestDatabase::user(),
                                  "--password=" + TestDatabase::password(), db.name()});
            QVERIFY(script.waitForFinished(60000));
            QVERIFY2(script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0,
                     script.readAllStandardError().constData());
        }
        QCOMPARE(db.count("information_schema.TRIGGERS",
                          "TRIGGER_SCHEMA = DATABASE() AND EVENT_OBJECT_TABLE LIKE 'ext_records_%' "
                          "AND EVENT_OBJECT_TABLE <> 'ext_records_audit'"),
                 6);
        ExtModel model("tstsigned");
        QVERIFY(model.keepsReview());
        QVERIFY(model.select());
        QVERIFY(sign(model, {1}));
        QCOMPARE(db.count("ext_records_signatures"), 1);
    }

    // The second component is checked before anything is written: a wrong password keeps the prompt
    // open, a cancelled prompt writes nothing, and only saved, fully reviewed rows are offered.
    void signInEditor_data()
    {
        QTest::addColumn<SignAttempt>("c");
        // clang-format off
        QTest::newRow("right password")                 << SignAttempt{1, "a", "", true};
        QTest::newRow("wrong password, then cancelled") << SignAttempt{1, "b", "", false};
        QTest::newRow("cancelled prompt")               << SignAttempt{1, "",  "", false};
        QTest::newRow("not fully reviewed")             << SignAttempt{3, "a", "not fully reviewed", false};
        QTest::newRow("pending change")                 << SignAttempt{2, "a", "not saved yet", false};
        // clang-format on
    }

    void signInEditor()
    {
        QFETCH(SignAttempt, c);
        auto editor = openEditor(c.id);
        if (c.message.contains("saved"))
            editor->model->toggleMark(TestHelpers::rowOf(*editor->model, c.id));
        bool closedByPassword = false;
        bool stayedOpen = false;
        QString signer; // as the prompt names who signs
        ModalAnswer answer([&](QWidget *prompt) {
            if (const auto *label = prompt->findChild<QLabel *>("signerLabel"))
                signer = label->text();
            if (!qobject_cast<QMessageBox *>(prompt) && !c.password.isEmpty())
                closedByPassword = typePassword(prompt, c.password);
            const auto *error = prompt->findChild<QLabel *>("errorLabel");
            stayedOpen = prompt->isVisible() && error && error->text().contains("alice");
            if (!closedByPassword)
                ModalAnswer::clickButton(c.message.isEmpty() ? "Cancel" : "OK")(prompt);
        });
        editor->findChild<QAction *>("actionSign")->trigger();
        QVERIFY(answer.answered());
        if (!c.message.isEmpty())
            QVERIFY2(answer.text().contains(c.message), qPrintable(answer.text()));
        QCOMPARE(closedByPassword, c.written);
        QCOMPARE(stayedOpen, c.password == "b");
        QCOMPARE(signer, c.message.isEmpty() ? QString("alice") : QString());
        QCOMPARE(db.rows("SELECT table_id, user_id, meaning FROM ext_records_signatures"),
                 c.written ? QStringList{QString("1 %1 reviewed").arg(alice)} : QStringList());
    }

    // A signed row shows its signer in the form and a seal in the grid, refuses edits with a
    // message naming the signer, and its signature is withdrawn with a reason and the password.
    void signedRowInEditor()
    {
        {
            ExtModel model("tstsigned");
            QVERIFY(model.select());
            QVERIFY(sign(model, {1}, "approved"));
        }
        auto editor = openEditor(1);
        const int row = TestHelpers::rowOf(*editor->model, 1);
        QVERIFY(editor->recordEditor->findChild<QLabel *>("signatureLabel")
                    ->text()
                    .contains("approved) by alice"));
        QVERIFY(!editor->model->headerData(row, Qt::Vertical, Qt::DecorationRole).isNull());
        QVERIFY(editor->model->headerData(row + 1, Qt::Vertical, Qt::DecorationRole).isNull());
        auto *grid = editor->findChild<QTableView *>("tableView");
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {},
                           grid->visualRect(editor->model->index(row, 3)).center());
        auto *refusal = editor->findChild<QMessageBox *>("refusalBox");
        QVERIFY(refusal && refusal->isVisible());
        QVERIFY(refusal->text().contains("by alice"));
        refusal->close();
        editor->rem();
        QVERIFY(refusal->isVisible());
        QCOMPARE(editor->model->pendingRowCount(), 0);
        // The review export names the signer with the meaning, and the time in UTC.
        QCOMPARE(editor->reviewTable().value(row + 1).mid(editor->reviewTable().first().size() - 2),
                 QStringList({"alice (approved)",
                              db.scalar("SELECT DATE_FORMAT(signed, '%Y-%m-%d %H:%i:%s UTC') "
                                        "FROM ext_records_signatures")
                                  .toString()}));

        ModalAnswer answer([](QWidget *prompt) {
            prompt->findChild<QLineEdit *>("reasonEdit")->setText("dose misread");
            if (!typePassword(prompt, "a"))
                ModalAnswer::reject()(prompt);
        });
        editor->findChild<QAction *>("actionWithdraw")->trigger();
        QVERIFY(answer.answered());
        QCOMPARE(db.rows("SELECT table_id, withdrawn_by, reason FROM ext_records_signatures"),
                 QStringList{QString("1 %1 dose misread").arg(alice)});
        QVERIFY(editor->model->headerData(row, Qt::Vertical, Qt::DecorationRole).isNull());
        QVERIFY(editor->model->setData(editor->model->index(row, 3), "Anke"));
    }

    // A question asked in the form is written at once, counted on its field and by the filter, and
    // answered in the questions tab.
    void questionsInEditor()
    {
        auto editor = openEditor(2);
        auto *form = editor->recordEditor->findChild<QTableView *>("tableView");
        form->selectRow(editor->model->columnRecord.indexOf("dose"));
        // A question the server refuses (longer than its column) is said, and nothing is kept.
        for (const QString &text : {QString(70000, 'x'), QString("20 mg or 20 g?")}) {
            std::unique_ptr<ModalAnswer> box;
            ModalAnswer asked([&](QWidget *prompt) {
                prompt->findChild<QPlainTextEdit *>()->setPlainText(text);
                ModalAnswer::clickButton("Ask")(prompt);
                box = std::make_unique<ModalAnswer>(ModalAnswer::accept(), 2000);
            });
            editor->recordEditor->findChild<QToolButton *>("askButton")->click();
            QVERIFY(asked.answered());
            QCOMPARE(box->title(), text.size() > 100 ? QString("question not asked") : QString());
        }
        QCOMPARE(
            db.rows("SELECT q.table_id, q.field_name, q.status, m.text FROM ext_records_queries q "
                    "JOIN ext_records_query_messages m ON m.query_id = q.id"),
            QStringList{"2 dose open 20 mg or 20 g?"});
        const int row = TestHelpers::rowOf(*editor->model, 2);
        const int dose = editor->model->columnRecord.indexOf("dose");
        QCOMPARE(editor->model->openQuestions(row, dose), 1);
        QVERIFY(!editor->recordEditor->recordModel
                     ->data(editor->recordEditor->recordModel->index(dose, 0), Qt::DecorationRole)
                     .isNull());
        auto *filter = editor->findChild<QComboBox *>("reviewFilter");
        filter->setCurrentIndex(filter->findText("rows with open questions"));
        QCOMPARE(editor->reviewSummary().left(5), QString("1 row"));

        auto *tab = editor->findChild<ExtQuestionsWidget *>("questionsWidget");
        auto *tree = tab->findChild<QTreeWidget *>("questionTree");
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
        tree->setCurrentItem(tree->topLevelItem(0));
        tab->findChild<QPlainTextEdit *>("answerEdit")->setPlainText("20 mg");
        tab->findChild<QPushButton *>("answerButton")->click();
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
        QCOMPARE(db.rows("SELECT status FROM ext_records_queries"), QStringList{"open"});
    }

private:
    void exec(const QString &sql) { QVERIFY_SQL(db, sql); }
    bool sign(ExtModel &model, const QList<int> &ids, const QString &meaning = "reviewed");
    // An editor on tstsigned, loaded, with the row of id selected.
    std::unique_ptr<ExtTableEditor> openEditor(int id)
    {
        const QString path = dir.filePath("tstsigned.xml");
        TestHelpers::writeFile(path, R"(<?xml version="1.0"?><table><fields>
            <field name="name"><label>Patient name</label></field>
            <field name="dose"><label>Dose</label></field></fields></table>)");
        auto editor = std::make_unique<ExtTableEditor>(path);
        editor->show();
        editor->refresh();
        auto *grid = editor->findChild<QTableView *>("tableView");
        const int row = TestHelpers::rowOf(*editor->model, id);
        grid->selectRow(row);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(editor->model->index(row, 3)).center());
        return editor;
    }

    // Types the password into the signature prompt and presses its Ok; true if it closed.
    static bool typePassword(QWidget *prompt, const QString &password);

    TestDatabase db;
    QTemporaryDir dir;
    int alice = 0;
    int bob = 0;
};

bool SignaturesTest::sign(ExtModel &model, const QList<int> &ids, const QString &meaning)
{
    QList<const ExtRecord *> records;
    for (int id : ids)
        records << model.records.at(TestHelpers::rowOf(model, id));
    ExtSignatures signatures(model.tableName, alice);
    const bool signedRows = signatures.sign(records, meaning);
    model.readReview();
    return signedRows;
}

bool SignaturesTest::typePassword(QWidget *prompt, const QString &password)
{
    prompt->findChild<QLineEdit *>("passwordEdit")->setText(password);
    prompt->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    return !prompt->isVisible();
}

QTEST_MAIN(SignaturesTest)
#include "tst_signatures.moc"
