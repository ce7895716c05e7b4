#include "extstatecommand.h"

#include <QCoreApplication>

#include "editor/exthistorymodel.h"
#include "model/extaudittrail.h"
#include "model/extmodel.h"

ExtStateCommand::ExtStateCommand(ExtModel *model, const QModelIndexList &cells, int state)
    : model(model)
    , state(state)
{
    for (const QModelIndex &cell : cells) {
        const int field = cell.column() - 2;
        fields.append({QPersistentModelIndex(model->index(cell.row(), 0)), field,
                       model->records.at(cell.row())->state(field)});
    }
    const QString name = ExtHistoryModel::stateName(state);
    setText(fields.size() == 1
                ? QCoreApplication::translate("ExtStateCommand", "%1 for 1 field").arg(name)
                : QCoreApplication::translate("ExtStateCommand", "%1 for %2 fields")
                      .arg(name)
                      .arg(fields.size()));
}

void ExtStateCommand::redo()
{
    for (const Field &cell : std::as_const(fields))
        if (cell.row.isValid())
            model->setState(cell.row.row(), cell.field, state);
}

void ExtStateCommand::undo()
{
    for (const Field &cell : std::as_const(fields))
        if (cell.row.isValid())
            model->setState(cell.row.row(), cell.field, cell.before);
    // A row that holds again what it was read with has nothing left to save.
    for (const Field &cell : std::as_const(fields)) {
        if (!cell.row.isValid())
            continue;
        ExtRecord *record = model->records.at(cell.row.row());
        if (record->dirty && record->loaded.known && ExtAuditTrail::changes(*record).isEmpty()) {
            record->dirty = false;
            emit model->headerDataChanged(Qt::Vertical, cell.row.row(), cell.row.row());
        }
    }
}
