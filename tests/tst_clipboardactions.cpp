#include <QtTest>
#include <QtWidgets>

#include "app/clipboardactions.h"

// Cut and paste on the focused item view; cut copies as copy does.
class ClipboardActionsTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        model = new QStandardItemModel(3, 3, &view);
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                model->setItem(row, column,
                               new QStandardItem(QString("%1%2").arg(row).arg(column)));
        // One cell nobody may change.
        model->item(2, 2)->setEditable(false);
        view.setModel(model);
    }
    void cleanup() { delete model; }
    void viewPasteAndCut()
    {
        QApplication::clipboard()->setText("a\tb\tc\td\ne\tf\n");
        view.setCurrentIndex(model->index(1, 1));
        ClipboardActions::paste(&view);
        // From the current cell on; what falls outside the grid or on a locked cell is dropped.
        QCOMPARE(cells(QRect(0, 0, 3, 3)), QString("00 01 02 10 a b 20 e 22"));
        view.selectionModel()->select(QItemSelection(model->index(1, 1), model->index(2, 2)),
                                      QItemSelectionModel::ClearAndSelect);
        ClipboardActions::cut(&view);
        QCOMPARE(QApplication::clipboard()->text(), QString("a\tb\ne\t22"));
        QCOMPARE(cells(QRect(1, 1, 2, 2)), QString("   22"));
    }

private:
    QString cells(const QRect &block) const
    {
        QStringList texts;
        for (int row = block.top(); row <= block.bottom(); ++row)
            for (int column = block.left(); column <= block.right(); ++column)
                texts << model->item(row, column)->text();
        return texts.join(' ');
    }
    QTableView view;
    QStandardItemModel *model = nullptr;
};

QTEST_MAIN(ClipboardActionsTest)
#include "tst_clipboardactions.moc"
