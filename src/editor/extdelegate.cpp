#include "extdelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionProgressBar>
#include <QToolTip>

#include "editor/exthistorymodel.h"
#include "editor/extitemeditorfactory.h"
#include "editor/extrecordmodel.h"
#include "model/extaudittrail.h"
#include "model/extmodel.h"
#include "model/extrecord.h"

ExtDelegate::ExtDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{}

// The view column less the leading columns that are no field of the record.
int ExtDelegate::fieldIndex(const QModelIndex &index)
{
    const ExtRecord *record = ExtRecordModel::rowRecord(index);
    return index.column() - (index.model()->columnCount() - record->count());
}

void ExtDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const
{
    const ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (index.column() != 1 || !record) {
        QStyledItemDelegate::paint(painter, option, index);
        if (states && record && index.column() > 1)
            paintState(painter, option.rect, record->state(fieldIndex(index)));
        const auto *model = qobject_cast<const ExtModel *>(index.model());
        if (model && record && index.column() > 1 &&
            model->openQuestions(index.row(), fieldIndex(index)) > 0)
            paintQuestion(painter, option.rect);
        return;
    }
    QStyleOptionProgressBar bar;
    bar.rect = option.rect;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = record->progress();
    bar.textVisible = false;
    bar.state = option.state | QStyle::State_Horizontal;
    QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter);
}

QWidget *ExtDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                   const QModelIndex &index) const
{
    ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (!record)
        return nullptr;
    return ExtItemEditorFactory(record).createEditor(fieldIndex(index), parent);
}

void ExtDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (!record)
        return;
    const int field = fieldIndex(index);
    editor->setProperty(ExtItemEditorFactory(record).valuePropertyName(field),
                        record->value(field));
}

void ExtDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                               const QModelIndex &index) const
{
    ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (!record)
        return;
    QVariant value;
    if (ExtItemEditorFactory(record).take(editor, fieldIndex(index), &value))
        model->setData(index, value, Qt::EditRole);
}

// A triangle in the cell's top right corner: red for an error, green when valid, none to do.
void ExtDelegate::paintState(QPainter *painter, const QRect &cell, int state)
{
    if (state != -1 && state != 1)
        return;
    const int side = qMin(8, qMin(cell.width(), cell.height()) / 2);
    QPainterPath corner;
    corner.moveTo(cell.right() + 1 - side, cell.top());
    corner.lineTo(cell.right() + 1, cell.top());
    corner.lineTo(cell.right() + 1, cell.top() + side);
    corner.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(corner, state < 0 ? QColor(220, 30, 30) : QColor(30, 160, 60));
    painter->restore();
}

void ExtDelegate::paintQuestion(QPainter *painter, const QRect &cell)
{
    const int side = qMin(6, qMin(cell.width(), cell.height()) / 2);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(40, 110, 200));
    painter->drawEllipse(QRect(cell.left() + 1, cell.top() + 1, side, side));
    painter->restore();
}

QString ExtDelegate::stateToolTip(const QModelIndex &index)
{
    const ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (!record || index.column() < 2)
        return QString();
    const int field = fieldIndex(index);
    const int state = record->state(field);
    const QString name = ExtHistoryModel::stateName(state);
    if (record->loaded.known && record->loaded.states.value(field, 0) != state)
        return tr("%1 (not saved yet)").arg(name);
    const auto *model = qobject_cast<const ExtModel *>(index.model());
    if (!model || !model->keepsAuditTrail() || !record->loaded.known)
        return name;
    const ExtAuditEntry set = ExtAuditTrail(model->tableName, QVariant())
                                  .lastStateChange(record->value("id"), record->fieldName(field));
    if (set.action.isEmpty())
        return name;
    return tr("%1, set by %2 on %3")
        .arg(name, set.userName.isEmpty() ? set.userId.toString() : set.userName,
             set.when.toLocalTime().toString("yyyy-MM-dd HH:mm"));
}

bool ExtDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                            const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (!states || event->type() != QEvent::ToolTip || index.column() < 2)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString tip = stateToolTip(index);
    const auto *model = qobject_cast<const ExtModel *>(index.model());
    const int open = model ? model->openQuestions(index.row(), fieldIndex(index)) : 0;
    if (open > 0)
        tip += "\n" + (open == 1 ? tr("1 open question") : tr("%1 open questions").arg(open));
    if (tip.isEmpty())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
    return true;
}
