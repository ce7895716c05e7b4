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

// The record form over a table model on the real server, the relation combo box and both
// delegates.
class ExtRecordModelTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY_CREATE(db);
        const int alice = db.addUser("alice", "x");
        db.addMembership(db.addGroup("Nord"), alice);
        QVERIFY2(
            db.execScript("CREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(64), "
                          "customer_id INT, due DATE NULL, group_id INT NULL);"
                          "INSERT INTO items VALUES (1, 'one', 1, '2024-01-02', NULL), "
                          "(2, 'two', 2, NULL, 0);"
                          "CREATE TABLE customers (id INT PRIMARY KEY, name VARCHAR(64));"
                          "INSERT INTO customers VALUES (1, 'Acme'), (2, 'Bolt'), (3, 'Cord');",
                          &error),
            qPrintable(error));
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
    // The form lists the labels before a row is chosen, then shows the chosen table row and writes
    // to it: a key of a relation shows its value in the table at once, a state raises the row's
    // progress and colours the field.
    void formShowsAndEditsChosenRow()
    {
        ExtModel empty;
        QCOMPARE(ExtRecordModel(&empty).rowCount(), 0);
        ExtRecordModel form(table);
        QVariantList labels;
        for (int field = 0; field < form.rowCount(); ++field) {
            labels << form.index(field, 0).data();
            QVERIFY(form.index(field, 1).data().isNull());
        }
        QCOMPARE(labels, (QVariantList{"id", "Name", "customer_id", "due", "group_id"}));
        form.setRecordFromIndex(table->index(row, 3));
        QVariantList values;
        for (int field = 0; field < form.rowCount(); ++field)
            values << form.index(field, 1).data();
        QCOMPARE(values, (QVariantList{1, "one", "Acme", QDate(2024, 1, 2),
                                       QVariant(QMetaType::fromType<int>())}));
        QVERIFY(values.at(4).isNull());
        // An index that carries no table row keeps the shown record.
        QStandardItemModel other(4, 3);
        form.setRecordFromIndex(other.index(row + 1, 1));
        QCOMPARE(form.index(1, 1).data().toString(), QString("one"));
        QCOMPARE(form.headerData(0, Qt::Horizontal).toString(), QString("label"));
        QCOMPARE(form.headerData(1, Qt::Horizontal).toString(), QString("value"));
        QVERIFY(!(form.flags(form.index(1, 0)) & Qt::ItemIsEditable));
        QVERIFY(form.flags(form.index(1, 1)) & Qt::ItemIsEditable);

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
        const QVariant todo = form.index(3, 1).data(Qt::BackgroundRole);
        form.setState(3, 1);
        QCOMPARE(form.state(3), 1);
        QVERIFY(form.index(3, 1).data(Qt::BackgroundRole) != todo);
        QCOMPARE(table->index(row, 1).data().toInt(), 66);
        QCOMPARE(table->index(1 - row, 1).data().toInt(), 50);
    }
    void setDataRejected_data()
    {
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("display role") << true << 1 << int(Qt::DisplayRole) << true;
        QTest::newRow("label column") << true << 0 << int(Qt::EditRole) << false;
        QTest::newRow("decoration role") << true << 1 << int(Qt::DecorationRole) << false;
        QTest::newRow("no row chosen") << false << 1 << int(Qt::EditRole) << false;
    }
    void setDataRejected()
    {
        QFETCH(bool, chosen);
        QFETCH(int, column);
        QFETCH(int, role);
        QFETCH(bool, accepted);
        ExtRecordModel form(table);
        if (chosen)
            form.setRecordFromIndex(table->index(row, 0));
        QCOMPARE(form.setData(form.index(1, column), "changed", role), accepted);
        QCOMPARE(table->index(row, 3).data().toString(), QString(accepted ? "changed" : "one"));
        for (int other = 0; other < table->rowCount(); ++other)
            QCOMPARE(table->headerData(other, Qt::Vertical).toString() == "*",
                     accepted && other == row);
    }
    void comboItems_data()
    {
        QTest::addColumn<QStringList>("relation");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("complete") << QStringList{"customers", "id", "name"}
                                  << QStringList{"Acme", "Bolt", "Cord"};
        QTest::newRow("no display column") << QStringList{"customers", "id", ""} << QStringList();
        QTest::newRow("missing table") << QStringList{"nosuch", "id", "name"} << QStringList();
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
        QCOMPARE(combo.currentKey(), texts.isEmpty() ? 0 : 1);
        QCOMPARE(db.count("customers"), 3);
        if (texts.isEmpty())
            return;
        QVERIFY(combo.setProperty("currentKey", 3));
        QCOMPARE(combo.currentIndex(), 2);
        combo.setCurrentKey(99);
        QCOMPARE(combo.currentIndex(), -1);
        QCOMPARE(combo.currentKey(), 0);
    }
    void delegateEdits_data()
    {
        QTest::addColumn<bool>("form");
        QTest::newRow("table delegate") << false;
        QTest::newRow("form delegate") << true;
    }
    // Both delegates edit the key of a relation through its combo box and a date through a
    // calendar, and make no editor for a model that is not theirs.
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
        const QModelIndex due = form ? record.index(3, 1) : table->index(row, 5);
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

        auto *date = qobject_cast<NullableDateEdit *>(
            delegate.createEditor(&parent, QStyleOptionViewItem(), due));
        QVERIFY(date);
        QVERIFY(date->calendar());
        delegate.setEditorData(date, due);
        QCOMPARE(date->date(), QDate(2024, 1, 2));
        date->setDate(QDate(2025, 5, 6));
        delegate.setModelData(date, model, due);
        QCOMPARE(table->records.at(row)->value(3).toDate(), QDate(2025, 5, 6));

        QStandardItemModel other(5, 6);
        QVERIFY(
            !delegate.createEditor(&parent, QStyleOptionViewItem(), other.index(2, form ? 1 : 4)));
    }
    void progressColumnPaintsBar()
    {
        const auto painted = [](const QAbstractItemDelegate &delegate, const QModelIndex &index) {
            QImage image(120, 24, QImage::Format_ARGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            QStyleOptionViewItem option;
            option.rect = image.rect();
            option.state = QStyle::State_Enabled;
            delegate.paint(&painter, option, index);
            return image;
        };
        const ExtDelegate delegate;
        const QStyledItemDelegate plain;
        const QModelIndex progress = table->index(row, 1);
        const QImage half = painted(delegate, progress);
        QVERIFY(half != painted(plain, progress));
        QCOMPARE(painted(delegate, table->index(row, 3)), painted(plain, table->index(row, 3)));
        for (int field = 0; field < 3; ++field)
            table->setState(row, field, 1);
        QCOMPARE(progress.data().toInt(), 100);
        QVERIFY(painted(delegate, progress) != half);
    }

private:
    TestDatabase db;
    ExtModel *table = nullptr;
    int row = 0; // of the record with id 1
};

QTEST_MAIN(ExtRecordModelTest)
#include "tst_extrecordmodel.moc"
