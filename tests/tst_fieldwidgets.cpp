#include <QtTest>
#include <QtWidgets>

#include "editor/fieldsfactory.h"
#include "editor/modelcombofieldwidget.h"
#include "editor/nullabledateedit.h"
#include "editor/statefieldwidget.h"
#include "loopbackhttpserver.h"
#include "testdatabase.h"
#include "testsettings.h"

namespace {
struct Shown
{
    QString type;
    QVariant value, expected;
    bool recorded; // as a change of the user's
};
} // namespace
Q_DECLARE_METATYPE(Shown)

class FieldWidgetsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QVERIFY_SCRIPT(db, "CREATE TABLE colours (id INT PRIMARY KEY, name VARCHAR(20));"
                           "INSERT INTO colours VALUES (3, 'red'), (1, 'green'), (2, 'blue');"
                           "CREATE TABLE codes (id VARCHAR(8) COLLATE utf8mb4_bin PRIMARY KEY, "
                           "label VARCHAR(20));"
                           "INSERT INTO codes VALUES ('ab', 'lower'), ('AB', 'upper')");
        // The address field must never reach the real service from a test.
        QVERIFY(server.listen());
        QSettings().setValue("geocoding/origin", server.url("").toString());
    }
    void cleanupTestCase() { db.drop(); }
    void values_data()
    {
        QTest::addColumn<Shown>("c");
        // clang-format off
        QTest::newRow("string from a number") << Shown{"string", 42, "42", true};
        QTest::newRow("bool") << Shown{"bool", true, true, true};
        QTest::newRow("bool unchanged") << Shown{"bool", false, false, false};
        QTest::newRow("date from text") << Shown{"date", "2023-11-05", QDate(2023, 11, 5), true};
        QTest::newRow("textedit lines") << Shown{"textedit", "one\ntwo", "one\ntwo", false};
        QTest::newRow("address") << Shown{"address", "1 Main", "1 Main", false};
        // clang-format on
    }
    void values()
    {
        QFETCH(Shown, c);
        std::unique_ptr<AbstractFieldWidget> widget(FieldsFactory::create(c.type));
        QSignalSpy change(widget.get(), &AbstractFieldWidget::change);
        widget->setValue(c.value);
        QCOMPARE(widget->value(), c.expected);
        QCOMPARE(widget->value().metaType(), c.expected.metaType());
        QCOMPARE(std::pair(int(change.size()), widget->isChanged),
                 std::pair(int(c.recorded), c.recorded));
        // A value shown by the program asks nothing of the geocoding service.
        if (c.type == "address") {
            QTest::qWait(100);
            QCOMPARE(server.requests(), QStringList());
        }
    }
    // A date is read back as the editor shows it, or in ISO; anything else is no date.
    void typedDates_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("date") << QVariant(QDate(1970, 3, 15));
        QTest::newRow("date and time") << QVariant(QDateTime(QDate(1970, 3, 15), QTime(14, 30)));
    }
    void typedDates()
    {
        QFETCH(QVariant, value);
        const bool withTime = value.typeId() == QMetaType::QDateTime;
        NullableDateEdit edit(withTime);
        edit.setDate(value);
        const QString shown = edit.text();
        edit.setDate(QVariant());
        edit.setText(shown);
        QCOMPARE(edit.date(), value);
        edit.setText(withTime ? value.toDateTime().toString(Qt::ISODate)
                              : value.toDate().toString(Qt::ISODate));
        QCOMPARE(edit.date(), value);
        edit.setText("15.15.15");
        QVERIFY(edit.date().isNull() && !edit.problem().isEmpty());
    }
    void typingIsRecorded()
    {
        std::unique_ptr<AbstractFieldWidget> widget(FieldsFactory::create("string"));
        QTest::keyClicks(widget->editor, "hi");
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
        QTest::newRow("not a number") << QVariant("x") << 0 << "todo";
    }
    // A value outside the three states is "todo"; a click goes to the next state, after valid
    // error.
    void stateValues()
    {
        QFETCH(QVariant, value);
        QFETCH(int, state);
        QFETCH(QString, text);
        StateFieldWidget widget;
        auto *button = qobject_cast<QToolButton *>(widget.editor);
        widget.setValue(value);
        QCOMPARE(widget.value(), QVariant(state));
        QCOMPARE(button->text(), text);
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
        // clang-format off
        QTest::newRow("id as text") << "colours" << "name" << QVariant("3") << "red";
        QTest::newRow("unknown id") << "colours" << "name" << QVariant(99) << "";
        QTest::newRow("upper case id") << "codes" << "label" << QVariant("AB") << "upper";
        QTest::newRow("mixed case: none") << "codes" << "label" << QVariant("Ab") << "";
        // The names go into the statement as given: a second statement finds nothing.
        QTest::newRow("hostile column") << "colours" << "name FROM colours; DROP TABLE colours; --"
                                        << QVariant(2) << "";
        // clang-format on
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
        if (table == "colours" && column == "name")
            QVERIFY(db.statements().contains("SELECT id,name FROM colours"));
        combo->setCurrentIndex(0);
        widget.setValue(value);
        QCOMPARE(combo->currentText(), shown);
        QCOMPARE(widget.value().toString(), shown.isEmpty() ? QString() : value.toString());
        QVERIFY(!widget.isChanged);
        QCOMPARE(db.count("colours"), 3);
    }

private:
    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
};

QTEST_MAIN(FieldWidgetsTest)
#include "tst_fieldwidgets.moc"
