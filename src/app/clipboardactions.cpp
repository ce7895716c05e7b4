#include "clipboardactions.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

// The widgets that know cut, copy and paste themselves.
template<typename Edit, typename Operation>
bool forward(QWidget *widget, Operation operation)
{
    auto *edit = qobject_cast<Edit *>(widget);
    if (!edit)
        return false;
    (edit->*operation)();
    return true;
}

QModelIndexList sortedSelection(const QAbstractItemView *view)
{
    QModelIndexList cells = view->selectionModel() ? view->selectionModel()->selectedIndexes()
                                                   : QModelIndexList();
    if (cells.isEmpty() && view->currentIndex().isValid())
        cells << view->currentIndex();
    std::sort(cells.begin(), cells.end(), [](const QModelIndex &a, const QModelIndex &b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    return cells;
}

} // namespace

QString ClipboardActions::selectedText(const QAbstractItemView *view)
{
    QString text;
    int row = -1;
    for (const QModelIndex &cell : sortedSelection(view)) {
        if (row != -1)
            text += cell.row() == row ? QLatin1Char('\t') : QLatin1Char('\n');
        row = cell.row();
        text += cell.data(Qt::DisplayRole).toString();
    }
    return text;
}

void ClipboardActions::copy(QWidget *widget)
{
    if (forward<QLineEdit>(widget, &QLineEdit::copy) || forward<QTextEdit>(widget, &QTextEdit::copy)
        || forward<QPlainTextEdit>(widget, &QPlainTextEdit::copy))
        return;
    if (auto *view = qobject_cast<QAbstractItemView *>(widget))
        QApplication::clipboard()->setText(selectedText(view));
}

void ClipboardActions::cut(QWidget *widget)
{
    if (forward<QLineEdit>(widget, &QLineEdit::cut) || forward<QTextEdit>(widget, &QTextEdit::cut)
        || forward<QPlainTextEdit>(widget, &QPlainTextEdit::cut))
        return;
    auto *view = qobject_cast<QAbstractItemView *>(widget);
    if (!view)
        return;
    copy(view);
    for (const QModelIndex &cell : sortedSelection(view))
        if (cell.flags() & Qt::ItemIsEditable)
            view->model()->setData(cell, QVariant(), Qt::EditRole);
}

void ClipboardActions::paste(QWidget *widget)
{
    if (forward<QLineEdit>(widget, &QLineEdit::paste) || forward<QTextEdit>(widget, &QTextEdit::paste)
        || forward<QPlainTextEdit>(widget, &QPlainTextEdit::paste))
        return;
    auto *view = qobject_cast<QAbstractItemView *>(widget);
    if (!view || !view->currentIndex().isValid())
        return;
    // Rows and columns of the clipboard fill the cells from the current one on; cells that
    // cannot be edited, or lie past the model's edge, are left alone.
    const QModelIndex start = view->currentIndex();
    QAbstractItemModel *model = view->model();
    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    for (int r = 0; r < lines.size(); ++r) {
        if (r == lines.size() - 1 && lines.at(r).isEmpty() && r > 0)
            break;
        const QStringList fields = lines.at(r).split(QLatin1Char('\t'));
        for (int c = 0; c < fields.size(); ++c) {
            const QModelIndex cell = model->index(start.row() + r, start.column() + c);
            if (cell.isValid() && (cell.flags() & Qt::ItemIsEditable))
                model->setData(cell, fields.at(c), Qt::EditRole);
        }
    }
}
