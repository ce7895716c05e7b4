#include <QtTest>
#include <QtWidgets>

#include "app/appidentity.h"
#include "navigation/aboutstavimordialog.h"
#include "navigation/listviewer.h"

class NavigationTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { AppIdentity::apply(); }
    void doubleClickTriggersTheRowsAction_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QList<int>>("triggered");
        QTest::newRow("first") << 0 << QList<int>{1, 0};
        QTest::newRow("below the rows") << -1 << QList<int>{0, 0};
    }
    void doubleClickTriggersTheRowsAction()
    {
        QFETCH(int, row);
        QFETCH(QList<int>, triggered);
        ListViewer page;
        QList<int> counts(2, 0);
        for (int i = 0; i < 2; ++i) {
            auto *action = new QAction(QString("entry %1").arg(i), &page);
            connect(action, &QAction::triggered, this, [&counts, i] { ++counts[i]; });
            page.addItemAction(action);
        }
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto *list = page.findChild<QListWidget *>("listWidget");
        // Below the last row: the click selects nothing, so nothing opens.
        const QPoint where = row >= 0 ? list->visualItemRect(list->item(row)).center()
                                      : QPoint(5, list->viewport()->height() - 3);
        list->setCurrentRow(-1);
        // A view only reports a double-click on the index its first press hit.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
        QCOMPARE(counts, triggered);
    }
    void aboutBox()
    {
        AboutStavimorDialog dialog;
        auto *list = dialog.findChild<QListWidget *>("listWidget");
        QStringList rows;
        for (int row = 0; row < list->count(); ++row)
            rows << list->item(row)->text();
        QCOMPARE(rows,
                 QStringList({"Stavimor", "beta 0.5.2", QCoreApplication::applicationFilePath(),
                              "Brunvale", "brunvale.org"}));
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton *>("pushButton"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 1);
    }
};

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
