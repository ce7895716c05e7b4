#include <QImage>
#include <QPainter>
#include <QStandardItemModel>
#include <QtTest>

#include "editor/extdelegate.h"
#include "editor/extitemeditorfactory.h"
#include "editor/extrecorddelegate.h"
#include "editor/extrecordmodel.h"
#include "editor/nullabledateedit.h"
#include "editor/relationcombobox.h"
#include "model/extmodel.h"
#include "testdatabase.h"
#include "testhelpers.h"

// The record form over a table model on the real server, the relation combo box, the editor
// factory and both delegates.
class ExtRecordModelTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void formBeforeChoice_data();
    void formBeforeChoice();
    void formShowsAndEditsChosenRow();
    void stateColours_data();
    void stateColours();
    void setDataRejected_data();
    void setDataRejected();
    void comboItems_data();
    void comboItems();
    void setCurrentKey_data();
    void setCurrentKey();
    void factoryEditors_data();
    void factoryEditors();
    void delegateEdits_data();
    void delegateEdits();
    void progressColumnPaintsBar();

private:
    int rowOf(int id) const;
    static QImage painted(const QAbstractItemDelegate &delegate, const QModelIndex &index);

    TestDatabase db;
    ExtModel *table = nullptr;
};

void ExtRecordModelTest::initTestCase()
{
    QString error;
    QVERIFY_CREATE(db);
    const int alice = db.addUser("alice", "x");
    db.addMembership(db.addGroup("Nord"), alice);
    QVERIFY2(db.execScript("CREATE TABLE items (id INT PRIMARY KEY, name VARCHAR(64), "
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

void ExtRecordModelTest::init()
{
    QVERIFY(table->select());
    QCOMPARE(table->rowCount(), 2);
}

void ExtRecordModelTest::cleanupTestCase()
{
    db.drop();
}

int ExtRecordModelTest::rowOf(int id) const
{
    for (int row = 0; row < table->rowCount(); ++row)
        if (table->index(row, 2).data().toInt() == id)
            return row;
    return -1;
}

QImage ExtRecordModelTest::painted(const QAbstractItemDelegate &delegate, const QModelIndex &index)
{
    QImage image(120, 24, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = image.rect();
    option.state = QStyle::State_Enabled;
    option.font = QApplication::font();
    option.fontMetrics = QFontMetrics(option.font);
    delegate.paint(&painter, option, index);
    return image;
}

void ExtRecordModelTest::formBeforeChoice_data()
{
    QTest::addColumn<bool>("withTable");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("table set") << true
                               << QStringList{"id", "Name", "customer_id", "due", "group_id"};
    QTest::newRow("no table") << false << QStringList();
}

void ExtRecordModelTest::formBeforeChoice()
{
    QFETCH(bool, withTable);
    QFETCH(QStringList, labels);
    ExtModel empty;
    ExtRecordModel form(withTable ? table : &empty);
    QCOMPARE(form.rowCount(), labels.size());
    QCOMPARE(form.columnCount(), 2);
    for (int row = 0; row < form.rowCount(); ++row) {
        QCOMPARE(form.index(row, 0).data().toString(), labels.at(row));
        QVERIFY(form.index(row, 1).data().isNull());
        for (int column = 0; column < 2; ++column)
            QCOMPARE(form.index(row, column).data(Qt::BackgroundRole).value<QColor>(),
                     QColor(255, 255, 0, 50));
    }
}

// The form shows the chosen table row and writes to it: a key of a relation shows its value in
// the table at once, a state raises the row's progress.
void ExtRecordModelTest::formShowsAndEditsChosenRow()
{
    ExtRecordModel form(table);
    const int row = rowOf(1);
    form.setRecordFromIndex(table->index(row, 3));
    QVariantList values;
    for (int row = 0; row < form.rowCount(); ++row)
        values << form.index(row, 1).data();
    QCOMPARE(values, (QVariantList{1, "one", "Acme", QDate(2024, 1, 2),
                                   QVariant(QMetaType::fromType<int>())}));
    QVERIFY(values.at(4).isNull());
    // An index that carries no table row keeps the shown record.
    QStandardItemModel other(3, 3);
    form.setRecordFromIndex(other.index(1, 1));
    QCOMPARE(form.index(1, 1).data().toString(), QString("one"));
    QCOMPARE(form.headerData(0, Qt::Horizontal).toString(), QString("label"));
    QCOMPARE(form.headerData(1, Qt::Horizontal).toString(), QString("value"));
    QVERIFY(!(form.flags(form.index(1, 0)) & Qt::ItemIsEditable));
    QVERIFY(form.flags(form.index(1, 1)) & Qt::ItemIsEditable);

    // A state outside the record would still count in the row's progress.
    form.setRecordFromIndex(table->index(row, 0));
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

void ExtRecordModelTest::stateColours_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("error") << -1 << QColor(255, 0, 0, 50);
    QTest::newRow("todo") << 0 << QColor(255, 255, 0, 50);
    QTest::newRow("valid") << 1 << QColor(0, 255, 0, 50);
    QTest::newRow("other") << 2 << QColor();
}

void ExtRecordModelTest::stateColours()
{
    QFETCH(int, state);
    QFETCH(QColor, colour);
    ExtRecordModel form(table);
    form.setRecordFromIndex(table->index(rowOf(2), 2));
    form.setState(1, state);
    QCOMPARE(form.state(1), state);
    for (int column = 0; column < 2; ++column)
        QCOMPARE(form.index(1, column).data(Qt::BackgroundRole).value<QColor>(), colour);
    QCOMPARE(form.index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 255, 0, 50));
}

void ExtRecordModelTest::setDataRejected_data()
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

void ExtRecordModelTest::setDataRejected()
{
    QFETCH(bool, chosen);
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(bool, accepted);
    ExtRecordModel form(table);
    const int row = rowOf(1);
    if (chosen)
        form.setRecordFromIndex(table->index(row, 0));
    QCOMPARE(form.setData(form.index(1, column), "changed", role), accepted);
    QCOMPARE(table->index(row, 3).data().toString(), QString(accepted ? "changed" : "one"));
    for (int other = 0; other < table->rowCount(); ++other)
        QCOMPARE(table->headerData(other, Qt::Vertical).toString() == "*",
                 accepted && other == row);
}

void ExtRecordModelTest::comboItems_data()
{
    QTest::addColumn<QStringList>("relation");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QVariantList>("keys");
    QTest::newRow("complete") << QStringList{"customers", "id", "name"}
                              << QStringList{"Acme", "Bolt", "Cord"} << QVariantList{1, 2, 3};
    QTest::newRow("no display column")
        << QStringList{"customers", "id", ""} << QStringList() << QVariantList();
    QTest::newRow("missing table")
        << QStringList{"nosuch", "id", "name"} << QStringList() << QVariantList();
    QTest::newRow("hostile table name")
        << QStringList{"customers; DROP TABLE customers", "id", "name"} << QStringList()
        << QVariantList();
}

void ExtRecordModelTest::comboItems()
{
    QFETCH(QStringList, relation);
    QFETCH(QStringList, texts);
    QFETCH(QVariantList, keys);
    RelationComboBox combo(QSqlRelation(relation.at(0), relation.at(1), relation.at(2)));
    QStringList shown;
    QVariantList stored;
    for (int i = 0; i < combo.count(); ++i) {
        shown << combo.itemText(i);
        stored << combo.itemData(i).toInt();
    }
    QCOMPARE(shown, texts);
    QCOMPARE(stored, keys);
    QCOMPARE(combo.currentKey(), keys.isEmpty() ? 0 : keys.first().toInt());
    QCOMPARE(db.count("customers"), 3);
}

void ExtRecordModelTest::setCurrentKey_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("index");
    QTest::newRow("listed") << 3 << 2;
    QTest::newRow("unknown") << 99 << -1;
}

void ExtRecordModelTest::setCurrentKey()
{
    QFETCH(int, key);
    QFETCH(int, index);
    RelationComboBox combo(QSqlRelation("customers", "id", "name"));
    combo.setCurrentIndex(1);
    QVERIFY(combo.setProperty("currentKey", key));
    QCOMPARE(combo.currentIndex(), index);
    QCOMPARE(combo.currentKey(), index < 0 ? 0 : key);
}

void ExtRecordModelTest::factoryEditors_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QStringList>("relation"); // replaces the schema's when given
    QTest::addColumn<QString>("editorClass");
    QTest::addColumn<QByteArray>("property");
    const QStringList schema;
    // Numbers are typed as text: an empty cell stays empty instead of becoming 0.
    QTest::newRow("integer") << 0 << schema << "QLineEdit" << QByteArray("text");
    QTest::newRow("text") << 1 << schema << "QLineEdit" << QByteArray("text");
    QTest::newRow("relation without display column")
        << 2 << QStringList{"customers", "id", ""} << "QLineEdit" << QByteArray("text");
}

void ExtRecordModelTest::factoryEditors()
{
    QFETCH(int, field);
    QFETCH(QStringList, relation);
    QFETCH(QString, editorClass);
    QFETCH(QByteArray, property);
    ExtRecord record(*table->records.at(rowOf(1)));
    if (!relation.isEmpty())
        record.setRelation(field, QSqlRelation(relation.at(0), relation.at(1), relation.at(2)));
    QWidget parent;
    const ExtItemEditorFactory factory(&record);
    QWidget *editor = factory.createEditor(field, &parent);
    QVERIFY2(editor->inherits(qPrintable(editorClass)), editor->metaObject()->className());
    QCOMPARE(factory.valuePropertyName(field), property);
}

void ExtRecordModelTest::delegateEdits_data()
{
    QTest::addColumn<bool>("form");
    QTest::newRow("table delegate") << false;
    QTest::newRow("form delegate") << true;
}

// Both delegates edit the key of a relation through its combo box and a date through a calendar,
// and make no editor for a model that is not theirs.
void ExtRecordModelTest::delegateEdits()
{
    QFETCH(bool, form);
    const int row = rowOf(1);
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
    QVERIFY(!delegate.createEditor(&parent, QStyleOptionViewItem(), other.index(2, form ? 1 : 4)));
}

void ExtRecordModelTest::progressColumnPaintsBar()
{
    ExtDelegate delegate;
    const QStyledItemDelegate plain;
    const int row = rowOf(1);
    const QModelIndex progress = table->index(row, 1);
    QImage blank(120, 24, QImage::Format_ARGB32);
    blank.fill(Qt::white);
    const QImage half = painted(delegate, progress);
    QVERIFY(half != blank);
    QVERIFY(half != painted(plain, progress));
    QCOMPARE(painted(delegate, table->index(row, 3)), painted(plain, table->index(row, 3)));
    for (int field = 0; field < 3; ++field)
        table->setState(row, field, 1);
    QCOMPARE(progress.data().toInt(), 100);
    QVERIFY(painted(delegate, progress) != half);
}

QTEST_MAIN(ExtRecordModelTest)
#include "tst_extrecordmodel.moc"
