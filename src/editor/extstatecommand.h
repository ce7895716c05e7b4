#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QUndoCommand>

class ExtModel;

// One review step of the grid: a state given to a set of fields, and taken back by undo. Rows
// are followed through insertions and removals; a row gone meanwhile is left alone.
class ExtStateCommand : public QUndoCommand
{
public:
    struct Field
    {
        QPersistentModelIndex row;
        int field;
        int before;
    };

    // cells: view indexes of the fields to set.
    ExtStateCommand(ExtModel *model, const QModelIndexList &cells, int state);

    int fieldCount() const { return fields.size(); }
    void redo() override;
    void undo() override;

private:
    ExtModel *model;
    QList<Field> fields;
    int state;
};
