#include <QtTest>
#include <QtWidgets>

#include "editor/fieldsfactory.h"
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
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QString error;
        QVERIFY2(db.execScript("CREATE TABLE colours (id INT PRIMARY KEY, name VARCHAR(20));"
                               "INSERT INTO colours VALUES (3, 'red'), (1, 'green'), (2, 'blue');"
                               "CREATE TABLE codes (id VARCHAR(8) COLLATE utf8mb4_bin PRIMARY KEY, "
                               "label VARCHAR(20));"
                               "INSERT INTO codes VALUES ('ab', 'lower'), ('AB', 'upper')",
                               &error),
                 qPrintable(error));
        // The address field must never reach the real service from a test.
        QVERIFY(server.listen());
        QSettings().setValue("geocoding/origin", server.url("").toString());
    }
    void cleanupTestCase() { db.drop(); }
    void values_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QVariant>("expected");
        QTest::addColumn<bool>("recorded");
        QTest::newRow("string from a number") << "string" << QVariant(42) << QVariant("42") << true;
        QTest::newRow("bool") << "bool" << QVariant(true) << QVariant(true) << true;
        QTest::newRow("bool unchanged") << "bool" << QVariant(false) << QVariant(false) << false;
        QTest::newRow("date from text")
            << "date" << QVariant("2023-11-05") << QVariant(QDate(2023, 11, 5)) << true;
        QTest::newRow("textedit lines")
            << "textedit" << QVariant("one\ntwo") << QVariant("one\ntwo") << false;
        QTest::newRow("address") << "address" << QVariant("1 Main") << QVariant("1 Main") << false;
        // Type names are matched exactly; anything else is a text field.
        QTest::newRow("capital D is text")
            << "Date" << QVariant("2023") << QVariant("2023") << true;
    }
    void values()
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
        widget->setValue(value);
        QCOMPARE(widget->value(), expected);
        QCOMPARE(widget->value().metaType(), expected.metaType());
        QCOMPARE(widget->isChanged, recorded);
        QCOMPARE(change.size(), recorded ? 1 : 0);
        // A value shown by the program asks nothing of the geocoding service.
        if (type == "address") {
            QTest::qWait(100);
            QCOMPARE(server.requests(), QStringList());
        }
    }
    void typingIsRecorded()
    {
        std::unique_ptr<AbstractFieldWidget> widget(FieldsFactory::create("string"));
        QSignalSpy change(widget.get(), &AbstractFieldWidget::change);
        QTest::keyClicks(widget->editor, "hi");
        QCOMPARE(change.size(), 2);
        QVERIFY(widget->isChanged);
        QCOMPARE(widget->value(), QVariant("hi"));
    }
    void stateValues_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("error") << QVariant(-1) << -1 << "error";
        QTest::newRow("todo") << QVariant(0) << 0 << "todo";
        QTest::newRow("valid") << QVariant(1) << 1 << "valid";
        QTest::newRow("two") << QVariant(2) << 0 << "todo";
        QTest::newRow("below error") << QVariant(-2) << 0 << "todo";
        QTest::newRow("text of a number") << QVariant("1") << 1 << "valid";
        QTest::newRow("not a number") << QVariant("x") << 0 << "todo";
    }
    // A value outside the three states is "todo"; a click goes on to the next state, error after
    // valid.
    void stateValues()
    {
        QFETCH(QVariant, value);
        QFETCH(int, state);
        QFETCH(QString, text);
        const QMap<int, QString> flags{{-1, ":16x16/flag_red.png"},
                                       {0, ":16x16/flag_yellow.png"},
                                       {1, ":16x16/flag_green.png"}};
        StateFieldWidget widget;
        auto *button = qobject_cast<QToolButton *>(widget.editor);
        widget.setValue(value);
        QCOMPARE(widget.value(), QVariant(state));
        QCOMPARE(button->text(), text);
        QCOMPARE(imageOf(button->icon()), imageOf(QIcon(flags.value(state))));
        QVERIFY(!widget.isChanged);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(widget.value().toInt(), state == 1 ? -1 : state + 1);
    }
    void comboSetValue_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("shown"); // empty: no current item
        QTest::newRow("id") << "colours"
                            << "name" << QVariant(2) << "blue";
        QTest::newRow("id as text") << "colours"
                                    << "name" << QVariant("3") << "red";
        QTest::newRow("unknown id") << "colours"
                                    << "name" << QVariant(99) << "";
        QTest::newRow("text that is no id") << "colours"
                                            << "name" << QVariant("two") << "";
        QTest::newRow("upper case id") << "codes"
                                       << "label" << QVariant("AB") << "upper";
        QTest::newRow("mixed case matches nothing") << "codes"
                                                    << "label" << QVariant("Ab") << "";
        // the names go into the statement as given: a second statement finds nothing
        QTest::newRow("hostile column")
            << "colours"
            << "name FROM colours; DROP TABLE colours; --" << QVariant(2) << "";
    }
    // The combo box lists a table's rows by the column given, with their ids behind.
    void comboSetValue()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        QFETCH(QString, shown);
        db.markStatements();
        ModelComboFieldWidget widget(table, column);
        auto *combo = qobject_cast<QComboBox *>(widget.editor);
        QCOMPARE(combo->count(), column.contains(' ') ? 0 : db.count(table));
        if (table == "colours" && column == "name") {
            QVERIFY(db.statements().contains("SELECT id,name FROM colours"));
            for (int row = 0; row < combo->count(); ++row)
                QCOMPARE(db.scalar("SELECT name FROM colours WHERE id = " +
                                   combo->itemData(row, Qt::UserRole).toString())
                             .toString(),
                         combo->itemText(row));
        }
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

private:
    static QImage imageOf(const QIcon &icon) { return icon.pixmap(16, 16).toImage(); }

    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
};

QTEST_MAIN(FieldWidgetsTest)
#include "tst_fieldwidgets.moc"
