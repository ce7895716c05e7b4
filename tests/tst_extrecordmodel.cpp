#include <QtTest>
#include <QtWidgets>

#include "editor/extdelegate.h"
#include "editor/extrecorddelegate.h"
#include "editor/extrecordmodel.h"
#include "editor/nullabledateedit.h"
#include "editor/relationcombobox.h"
#include "model/extmodel.h"
#include "testdatabase.h"
#include "testhelpers.h"

class ExtRecordModelTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        const int alice = db.addUser("alice", "x");
        db.addMembership(db.addGroup("Nord"), alice);
        QVERIFY_SCRIPT(db, "CREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(64), "
                           "customer_id INT, due DATE NULL, group_id INT NULL);"
                           "INSERT INTO items VALUES (1, 'one', 1, '2024-01-02', NULL), "
                           "(2, 'two', 2, NULL, 0);"
                           "CREATE TABLE customers (id INT PRIMARY KEY, name VARCHAR(64));"
                           "INSERT INTO customers VALUES (1, 'Acme'), (2, 'Bolt'), (3, 'Cord');");
        TestHelpers::logIn(alice);
        table = new ExtModel("items", this);
        table->setLabel(1, "Name");
        table->setRelation(2, QSqlRelation("customers", "id", "name"));
    }
    void init()
    {
        QVERIFY(table->select());
        row = TestHelpers::rowOf(*table, 1);
    }
    void cleanupTestCase() { db.drop(); }
    // The form shows the chosen table row and writes to it; a state raises the row's progress.
    void formShowsAndEditsChosenRow()
    {
        ExtRecordModel form(table);
        form.setRecordFromIndex(table->index(row, 3));
        QVariantList labels, values;
        for (int field = 0; field < form.rowCount(); ++field)
            labels << form.index(field, 0).data(), values << form.index(field, 1).data();
        QCOMPARE(labels, (QVariantList{"id", "Name", "customer_id", "due", "group_id"}));
        QCOMPARE(values, (QVariantList{1, "one", "Acme", QDate(2024, 1, 2),
                                       QVariant(QMetaType::fromType<int>())}));
        QVERIFY(values.at(4).isNull());
        // An index that carries no table row keeps the shown record.
        QStandardItemModel other(4, 3);
        form.setRecordFromIndex(other.index(row + 1, 1));
        QCOMPARE(form.index(1, 1).data().toString(), QString("one"));
        QCOMPARE(form.headerData(0, Qt::Horizontal).toString() + "|" +
                     form.headerData(1, Qt::Horizontal).toString(),
                 QString("label|value"));
        // Labels are not data.
        QVERIFY(!form.setData(form.index(1, 0), "changed"));

        // A state outside the record would still count in the row's progress.
        form.setState(5, 1);
        QCOMPARE(table->index(row, 1).data().toInt(), 50);
        QVERIFY(table->headerData(row, Qt::Vertical).toString() != "*");
        QVERIFY(form.setData(form.index(2, 1), 3));
        QCOMPARE(table->records.at(row)->value(2).toInt(), 3);
        QCOMPARE(table->index(row, 4).data().toString(), QString("Cord"));
        QCOMPARE(table->headerData(row, Qt::Vertical).toString(), QString("*"));
        QCOMPARE(form.index(2, 1).data().toString(), QString("Acme"));
        form.setRecordFromIndex(table->index(row, 0));
        QCOMPARE(form.index(2, 1).data().toString(), QString("Cord"));
        form.setState(3, 1);
        QCOMPARE(table->index(row, 1).data().toInt(), 66);
        QCOMPARE(table->index(1 - row, 1).data().toInt(), 50);
    }
    void comboItems_data()
    {
        QTest::addColumn<QStringList>("relation");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("complete") << QStringList{"customers", "id", "name"}
                                  << QStringList{"Acme", "Bolt", "Cord"};
        QTest::newRow("hostile table name")
            << QStringList{"customers; DROP TABLE customers", "id", "name"} << QStringList();
    }
    // The combo box lists the related rows by name and is set by key; an unknown key chooses none.
    void comboItems()
    {
        QFETCH(QStringList, relation);
        QFETCH(QStringList, texts);
        RelationComboBox combo(QSqlRelation(relation.at(0), relation.at(1), relation.at(2)));
        QStringList shown;
        for (int i = 0; i < combo.count(); ++i) {
            shown << combo.itemText(i);
            QCOMPARE(combo.itemData(i).toInt(), i + 1);
        }
        QCOMPARE(shown, texts);
        QCOMPARE(db.count("customers"), 3);
        combo.setCurrentKey(texts.isEmpty() ? 1 : 3);
        QCOMPARE(combo.currentIndex(), texts.isEmpty() ? -1 : 2);
        combo.setCurrentKey(99);
        QCOMPARE(combo.currentKey(), 0);
    }
    void delegateEdits_data()
    {
        QTest::addColumn<bool>("form");
        QTest::newRow("table delegate") << false;
        QTest::newRow("form delegate") << true;
    }
    // Both delegates edit a relation's key through its combo box and a date through a calendar,
    // and make no editor for another model's index.
    void delegateEdits()
    {
        QFETCH(bool, form);
        ExtRecordModel record(table);
        record.setRecordFromIndex(table->index(row, 0));
        ExtDelegate tableDelegate;
        ExtRecordDelegate formDelegate;
        QAbstractItemDelegate &delegate =
            form ? static_cast<QAbstractItemDelegate &>(formDelegate) : tableDelegate;
        QAbstractItemModel *model = form ? static_cast<QAbstractItemModel *>(&record) : table;
        const QModelIndex relation = form ? record.index(2, 1) : table->index(row, 4);
        QWidget parent;
        auto *combo = qobject_cast<RelationComboBox *>(
            delegate.createEditor(&parent, QStyleOptionViewItem(), relation));
        QVERIFY(combo);
        delegate.setEditorData(combo, relation);
        QCOMPARE(combo->currentKey(), 1);
        combo->setCurrentKey(2);
        delegate.setModelData(combo, model, relation);
        QCOMPARE(table->records.at(row)->value(2).toInt(), 2);
        QCOMPARE(table->index(row, 4).data().toString(), QString("Bolt"));

        QStandardItemModel other(5, 6);
        QVERIFY(!delegate.createEditor(&parent, {}, other.index(2, form ? 1 : 4)));
    }

private:
    TestDatabase db;
    ExtModel *table = nullptr;
    int row = 0; // of the record with id 1
};

QTEST_MAIN(ExtRecordModelTest)
#include "tst_extrecordmodel.moc"
