#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "editor/fieldsfactory.h"
#include "editor/googleaddressfieldwidget.h"
#include "editor/modelcombofieldwidget.h"
#include "editor/statefieldwidget.h"
#include "loopbackhttpserver.h"
#include "testdatabase.h"
#include "testsettings.h"

// The field widgets as the factory makes them, the state button, and the combo box over a
// table of the real server.
class FieldWidgetsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void values_data();
    void values();
    void typingIsRecorded();

    void stateValues_data();
    void stateValues();
    void stateClicksStayWithinThreeStates();

    void comboItems();
    void comboSetValue_data();
    void comboSetValue();

private:
    static QImage imageOf(const QIcon &icon) { return icon.pixmap(16, 16).toImage(); }

    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
};

void FieldWidgetsTest::initTestCase()
{
    QVERIFY_CREATE(db);
    QVERIFY(db.exec("CREATE TABLE colours (id INT PRIMARY KEY, name VARCHAR(20))"));
    QVERIFY(db.exec("INSERT INTO colours VALUES (3, 'red'), (1, 'green'), (2, 'blue')"));
    QVERIFY(db.exec("CREATE TABLE codes (id VARCHAR(8) COLLATE utf8mb4_bin PRIMARY KEY, "
                    "label VARCHAR(20))"));
    QVERIFY(db.exec("INSERT INTO codes VALUES ('ab', 'lower'), ('AB', 'upper')"));
    // The address field must never reach the real service from a test.
    QVERIFY(server.listen());
    QSettings().setValue("geocoding/origin", server.url("").toString());
}

void FieldWidgetsTest::cleanupTestCase()
{
    db.drop();
}

void FieldWidgetsTest::values_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("recorded");
    // clang-format off
    QTest::newRow("string from a number") << "string" << QVariant(42) << QVariant("42") << true;
    QTest::newRow("bool") << "bool" << QVariant(true) << QVariant(true) << true;
    QTest::newRow("bool unchanged") << "bool" << QVariant(false) << QVariant(false) << false;
    QTest::newRow("date from text") << "date" << QVariant("2023-11-05")
            << QVariant(QDate(2023, 11, 5)) << true;
    QTest::newRow("textedit lines") << "textedit" << QVariant("one\ntwo")
            << QVariant("one\ntwo") << false;
    QTest::newRow("address") << "address" << QVariant("1 Main Street")
            << QVariant("1 Main Street") << false;
    // Type names are matched exactly; anything else is a text field.
    QTest::newRow("capital D is text") << "Date" << QVariant("2023-11-05")
            << QVariant("2023-11-05") << true;
    QTest::newRow("unknown is text") << "int" << QVariant(42) << QVariant("42") << true;
    // clang-format on
}

void FieldWidgetsTest::values()
{
    QFETCH(QString, type);
    QFETCH(QVariant, value);
    QFETCH(QVariant, expected);
    QFETCH(bool, recorded);
    std::unique_ptr<AbstractFieldWidget> widget(FieldsFactory::create(type));
    QCOMPARE(widget->editor->parentWidget(), widget.get());
    if (auto *date = qobject_cast<QDateEdit *>(widget->editor))
        QVERIFY(date->calendarPopup());
    QSignalSpy change(widget.get(), &AbstractFieldWidget::change);
    server.clearRequests();
    widget->setValue(value);
    QCOMPARE(widget->value(), expected);
    QCOMPARE(widget->value().metaType(), expected.metaType());
    QCOMPARE(widget->isChanged, recorded);
    QCOMPARE(change.size(), recorded ? 1 : 0);
    // A value shown by the program asks nothing of the geocoding service.
    QTest::qWait(50);
    QCOMPARE(server.requests(), QStringList());
}

void FieldWidgetsTest::typingIsRecorded()
{
    std::unique_ptr<AbstractFieldWidget> widget(FieldsFactory::create("string"));
    QSignalSpy change(widget.get(), &AbstractFieldWidget::change);
    QTest::keyClicks(widget->editor, "hi");
    QCOMPARE(change.size(), 2);
    QVERIFY(widget->isChanged);
    QCOMPARE(widget->value(), QVariant("hi"));
}

void FieldWidgetsTest::stateValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("icon");
    // clang-format off
    QTest::newRow("error") << QVariant(-1) << -1 << "error" << ":16x16/flag_red.png";
    QTest::newRow("todo") << QVariant(0) << 0 << "todo" << ":16x16/flag_yellow.png";
    QTest::newRow("valid") << QVariant(1) << 1 << "valid" << ":16x16/flag_green.png";
    QTest::newRow("two") << QVariant(2) << 0 << "todo" << ":16x16/flag_yellow.png";
    QTest::newRow("below error") << QVariant(-2) << 0 << "todo" << ":16x16/flag_yellow.png";
    QTest::newRow("text of a number") << QVariant("1") << 1 << "valid" << ":16x16/flag_green.png";
    QTest::newRow("not a number") << QVariant("x") << 0 << "todo" << ":16x16/flag_yellow.png";
    // clang-format on
}

void FieldWidgetsTest::stateValues()
{
    QFETCH(QVariant, value);
    QFETCH(int, state);
    QFETCH(QString, text);
    QFETCH(QString, icon);
    StateFieldWidget widget;
    auto *button = qobject_cast<QToolButton *>(widget.editor);
    widget.setValue(value);
    QCOMPARE(widget.value(), QVariant(state));
    QCOMPARE(button->text(), text);
    QCOMPARE(imageOf(button->icon()), imageOf(QIcon(icon)));
    QVERIFY(!widget.isChanged);
}

void FieldWidgetsTest::stateClicksStayWithinThreeStates()
{
    StateFieldWidget widget;
    widget.setValue(-1);
    auto *button = qobject_cast<QToolButton *>(widget.editor);
    QList<int> seen;
    QStringList texts;
    for (int click = 0; click < 4; ++click) {
        QTest::mouseClick(button, Qt::LeftButton);
        seen << widget.value().toInt();
        texts << button->text();
    }
    QCOMPARE(seen, QList<int>({0, 1, -1, 0}));
    QCOMPARE(texts, QStringList({"todo", "valid", "error", "todo"}));
}

void FieldWidgetsTest::comboItems()
{
    db.markStatements();
    ModelComboFieldWidget widget("colours", "name");
    QVERIFY(db.statements().contains("SELECT id,name FROM colours"));
    auto *combo = qobject_cast<QComboBox *>(widget.editor);
    QVERIFY(combo);
    QStringList texts;
    QVariantList ids;
    for (int row = 0; row < combo->count(); ++row) {
        texts << combo->itemText(row);
        ids << combo->itemData(row, Qt::UserRole);
    }
    QCOMPARE(texts.size(), 3);
    QCOMPARE(QSet<QString>(texts.begin(), texts.end()), QSet<QString>({"red", "green", "blue"}));
    for (int row = 0; row < combo->count(); ++row) {
        const int id = ids.at(row).toInt();
        QCOMPARE(db.scalar("SELECT name FROM colours WHERE id = " + QString::number(id)).toString(),
                 texts.at(row));
    }
}

void FieldWidgetsTest::comboSetValue_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("shown"); // empty: no current item
    // clang-format off
    QTest::newRow("id") << "colours" << "name" << QVariant(2) << "blue";
    QTest::newRow("id as text") << "colours" << "name" << QVariant("3") << "red";
    QTest::newRow("unknown id") << "colours" << "name" << QVariant(99) << "";
    QTest::newRow("text that is no id") << "colours" << "name" << QVariant("two") << "";
    QTest::newRow("upper case id") << "codes" << "label" << QVariant("AB") << "upper";
    QTest::newRow("mixed case matches nothing") << "codes" << "label" << QVariant("Ab") << "";
    // the names go into the statement as given: a second statement finds nothing
    QTest::newRow("hostile column") << "colours" << "name FROM colours; DROP TABLE colours; --"
            << QVariant(2) << "";
    // clang-format on
}

void FieldWidgetsTest::comboSetValue()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(QString, shown);
    ModelComboFieldWidget widget(table, column);
    auto *combo = qobject_cast<QComboBox *>(widget.editor);
    QCOMPARE(combo->count(), column.contains(' ') ? 0 : db.count(table));
    combo->setCurrentIndex(0);
    widget.setValue(value);
    if (shown.isEmpty()) {
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(!widget.value().isValid());
    } else {
        QCOMPARE(combo->currentText(), shown);
        QCOMPARE(widget.value().toString(), value.toString());
    }
    QVERIFY(!widget.isChanged);
    QCOMPARE(db.count("colours"), 3);
}

QTEST_MAIN(FieldWidgetsTest)
#include "tst_fieldwidgets.moc"
