#include "extrecordmodel.h"

#include <QColor>
#include <QDebug>
#include <QPainter>
#include <QPixmap>

#include "core/logcategories.h"
#include "model/extmodel.h"

ExtRecordModel::ExtRecordModel(ExtModel *tableModel, QObject *parent)
    : QAbstractTableModel(parent)
    , tableModel(tableModel)
    , current(tableModel->record())
{}

ExtRecord *ExtRecordModel::rowRecord(const QModelIndex &index)
{
    if (!index.isValid() || !qobject_cast<const ExtModel *>(index.model()))
        return nullptr;
    return static_cast<ExtRecord *>(index.internalPointer());
}

int ExtRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : current.count();
}

int ExtRecordModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

namespace {
// The number of open questions on a field, in a small blue disc before its label.
QPixmap questionBadge(int count)
{
    QPixmap badge(16, 16);
    badge.fill(Qt::transparent);
    QPainter painter(&badge);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 110, 200));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(badge.rect().adjusted(1, 1, -1, -1));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(10);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(badge.rect(), Qt::AlignCenter, count > 9 ? "9+" : QString::number(count));
    return badge;
}
} // namespace

QVariant ExtRecordModel::data(const QModelIndex &index, int role) const
{
    const int field = index.row();
    if (!index.isValid() || field < 0 || field >= current.count())
        return QVariant();
    if (index.column() == 0 && (role == Qt::DecorationRole || role == Qt::ToolTipRole)) {
        const int open = tableModel->openQuestions(currentRow, field);
        if (open == 0)
            return QVariant();
        if (role == Qt::DecorationRole)
            return questionBadge(open);
        return open == 1 ? tr("1 open question") : tr("%1 open questions").arg(open);
    }
    if (role == Qt::DisplayRole) {
        if (index.column() == 0)
            return current.label(field);
        if (ExtRecord::isComplete(current.relation(field)))
            return current.displayValue(field);
        return current.value(field);
    }
    if (role == Qt::BackgroundRole) {
        switch (current.state(field)) {
        case -1:
            return QColor(255, 0, 0, 50);
        case 0:
            return QColor(255, 255, 0, 50);
        case 1:
            return QColor(0, 255, 0, 50);
        default:
            return QVariant();
        }
    }
    return QVariant();
}

QVariant ExtRecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section == 0)
        return tr("label");
    if (section == 1)
        return tr("value");
    return QVariant();
}

Qt::ItemFlags ExtRecordModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    // A signed row opens no editor; the table editor says why instead.
    if (index.column() == 1 && !tableModel->signature(currentRow))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ExtRecordModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    qCDebug(lcApp) << "SET DATA";
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return false;
    if (index.column() != 1 || index.row() < 0 || index.row() >= current.count())
        return false;
    const int field = index.row();
    QString refusal;
    const QVariant taken = current.limit(field).take(value, &refusal);
    if (!refusal.isEmpty())
        return false;
    const QModelIndex target = tableModel->index(currentRow, field + 2);
    if (!target.isValid())
        return false;
    qCDebug(lcApp) << "row" << currentRow << "column" << field + 2 << tableModel->tableName
                   << tableModel->metaObject()->className();
    // A row that refuses the value (it is signed) keeps it in the form too.
    if (!tableModel->setData(target, taken, Qt::EditRole))
        return false;
    current.setValue(field, taken);
    return true;
}

void ExtRecordModel::setRecord(const ExtRecord &record)
{
    emit layoutAboutToBeChanged();
    current = record;
    emit layoutChanged();
}

void ExtRecordModel::setRecordFromIndex(const QModelIndex &index)
{
    // The edits go to the row shown, so an index of another model changes neither.
    if (const ExtRecord *row = rowRecord(index)) {
        currentRow = index.row();
        setRecord(*row);
    }
}

ExtRecord &ExtRecordModel::record()
{
    return current;
}

void ExtRecordModel::setState(int row, int state)
{
    if (row < 0 || row >= current.count())
        return;
    // A signed row refuses, saying why, and the form keeps its state.
    tableModel->setState(currentRow, row, state);
    if (tableModel->signature(currentRow))
        return;
    current.setState(row, state);
    emit dataChanged(index(row, 0), index(row, 1));
}

int ExtRecordModel::state(int row)
{
    return current.state(row);
}
