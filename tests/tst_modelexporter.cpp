#include <QPrinter>
#include <QtTest>
#include <QtWidgets>

#include "editor/modelexporter.h"

// CSV export of any item model, read back from the written file.
class ModelExporterTest : public QObject
{
    Q_OBJECT
private slots:
    void fieldText_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("zero") << QVariant(0) << QByteArray("0");
        QTest::newRow("date") << QVariant(QDate(2024, 1, 2)) << QByteArray("2024-01-02");
        // A NULL number is an empty cell in the view, not a 0.
        QTest::newRow("null number") << QVariant(QMetaType::fromType<int>()) << QByteArray("");
        QTest::newRow("null decimal") << QVariant(QMetaType::fromType<double>()) << QByteArray("");
        QTest::newRow("non-ASCII as UTF-8")
            << QVariant(QString::fromUtf8("Žluť")) << QByteArray("Žluť");
        QTest::newRow("comma") << QVariant("a,b") << QByteArray("\"a,b\"");
        QTest::newRow("double quote") << QVariant("say \"hi\"") << QByteArray("\"say \"\"hi\"\"\"");
        QTest::newRow("line feed") << QVariant("two\nlines") << QByteArray("\"two\nlines\"");
    }
    void fieldText()
    {
        QFETCH(QVariant, value);
        QFETCH(QByteArray, field);
        QStandardItemModel model(1, 3);
        model.setData(model.index(0, 0), "first");
        model.setData(model.index(0, 1), value);
        model.setData(model.index(0, 2), "last");
        QCOMPARE(exported(&model), "first," + field + ",last\n");
    }
    // Table rows are wide: the printout is laid across the page.
    void printsLandscape()
    {
        QStandardItemModel model(1, 1);
        std::unique_ptr<QPrinter> printer(ModelExporter(&model).paintToPrinter());
        QCOMPARE(printer->pageLayout().orientation(), QPageLayout::Landscape);
    }

private:
    QByteArray exported(QAbstractItemModel *model)
    {
        const QString fileName = dir.filePath("out.csv");
        if (!ModelExporter(model).writeCsv(fileName))
            return "writeCsv failed";
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("not written");
    }
    QTemporaryDir dir;
};

QTEST_MAIN(ModelExporterTest)
#include "tst_modelexporter.moc"
