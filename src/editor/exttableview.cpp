#include "exttableview.h"

#include <QPainter>

ExtTableView::ExtTableView(QWidget *parent)
    : QTableView(parent)
{}

void ExtTableView::setEmptyText(const QString &text)
{
    hint = text;
    viewport()->update();
}

void ExtTableView::flagRow(int row)
{
    flagged = row >= 0 && model() ? QPersistentModelIndex(model()->index(row, 0))
                                  : QPersistentModelIndex();
    viewport()->update();
}

// The index follows its row through insertions and removals, and is gone with the row or at a
// reload.
int ExtTableView::flaggedRow() const
{
    return flagged.isValid() ? flagged.row() : -1;
}

void ExtTableView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    QPainter painter(viewport());
    if (!hint.isEmpty() && (!model() || model()->rowCount() == 0)) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(viewport()->rect().adjusted(12, 12, -12, -12),
                         Qt::AlignCenter | Qt::TextWordWrap, hint);
    }
    const int row = flaggedRow();
    if (row < 0 || isRowHidden(row))
        return;
    const QRect line(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
    const QColor warning(220, 40, 40);
    QColor fill = warning;
    fill.setAlpha(40);
    painter.fillRect(line, fill);
    painter.setPen(QPen(warning, 2));
    painter.drawRect(line.adjusted(1, 1, -1, -1));
}
