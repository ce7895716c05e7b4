#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>
#include <QtTest>

#include "app/clipboardactions.h"

// Cut, copy and paste on the focused widget: text fields and item views.
class ClipboardActionsTest : public QObject
{
    Q_OBJECT
private slots:
    void textField();
    void viewCopy_data();
    void viewCopy();
    void viewPasteAndCut();

private:
    static QStandardItemModel *grid(QObject *parent);
};

QStandardItemModel *ClipboardActionsTest::grid(QObject *parent)
{
    auto *model = new QStandardItemModel(3, 3, parent);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            model->setItem(row, column, new QStandardItem(QString("%1%2").arg(row).arg(column)));
    // One cell nobody may change.
    model->item(2, 2)->setEditable(false);
    return model;
}

void ClipboardActionsTest::textField()
{
    QLineEdit edit("hello world");
    edit.setSelection(0, 5);
    ClipboardActions::cut(&edit);
    QCOMPARE(edit.text(), QString(" world"));
    QCOMPARE(QApplication::clipboard()->text(), QString("hello"));
    edit.setCursorPosition(edit.text().size());
    ClipboardActions::paste(&edit);
    QCOMPARE(edit.text(), QString(" worldhello"));
}

void ClipboardActionsTest::viewCopy_data()
{
    QTest::addColumn<QRect>("cells");
    QTest::addColumn<QString>("text");
    QTest::newRow("one cell") << QRect(1, 1, 1, 1) << "11";
    QTest::newRow("a row") << QRect(0, 2, 3, 1) << "20\t21\t22";
    QTest::newRow("a block") << QRect(1, 0, 2, 2) << "01\t02\n11\t12";
}

void ClipboardActionsTest::viewCopy()
{
    QFETCH(QRect, cells);
    QFETCH(QString, text);
    QTableView view;
    view.setModel(grid(&view));
    const QItemSelection block(view.model()->index(cells.top(), cells.left()),
                               view.model()->index(cells.bottom(), cells.right()));
    view.selectionModel()->select(block, QItemSelectionModel::ClearAndSelect);
    ClipboardActions::copy(&view);
    QCOMPARE(QApplication::clipboard()->text(), text);
}

void ClipboardActionsTest::viewPasteAndCut()
{
    QTableView view;
    QStandardItemModel *model = grid(&view);
    view.setModel(model);
    QApplication::clipboard()->setText("a\tb\tc\td\ne\tf\n");
    view.setCurrentIndex(model->index(1, 1));
    ClipboardActions::paste(&view);
    // From the current cell on; what falls outside the grid or on a locked cell is dropped.
    QCOMPARE(model->item(1, 1)->text(), QString("a"));
    QCOMPARE(model->item(1, 2)->text(), QString("b"));
    QCOMPARE(model->item(2, 1)->text(), QString("e"));
    QCOMPARE(model->item(2, 2)->text(), QString("22"));
    QCOMPARE(model->item(0, 0)->text(), QString("00"));

    view.selectionModel()->select(QItemSelection(model->index(1, 1), model->index(2, 2)),
                                  QItemSelectionModel::ClearAndSelect);
    ClipboardActions::cut(&view);
    QCOMPARE(QApplication::clipboard()->text(), QString("a\tb\ne\t22"));
    QCOMPARE(model->item(1, 1)->text(), QString());
    QCOMPARE(model->item(2, 1)->text(), QString());
    QCOMPARE(model->item(2, 2)->text(), QString("22"));
}

QTEST_MAIN(ClipboardActionsTest)
#include "tst_clipboardactions.moc"
