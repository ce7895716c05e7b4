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
    void doubleClickTriggersTheRowsAction()
    {
        ListViewer page;
        QList<int> counts(2, 0);
        for (int i = 0; i < 2; ++i) {
            auto *action = new QAction(QString("entry %1").arg(i), &page);
            connect(action, &QAction::triggered, this, [&counts, i] { ++counts[i]; });
            page.addItemAction(action);
        }
        page.show();
        auto *list = page.findChild<QListWidget *>("listWidget");
        const QPoint where = list->visualItemRect(list->item(1)).center();
        // A view only reports a double-click on the index its first press hit.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, where);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, where);
        QCOMPARE(counts, QList<int>({0, 1}));
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
    }
};

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
