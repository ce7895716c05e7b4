#pragma once

#include <QStyledItemDelegate>

// The table view's delegate: each field's own editor, the progress column as a bar, and, while
// states are shown, each field's review state as a coloured corner with a tool tip naming it.
// A field with an open question carries a blue dot in its top left corner.
class ExtDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ExtDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    void setStatesShown(bool shown) { states = shown; }
    bool statesShown() const { return states; }
    // The tool tip of a field's state: its name, and from the audit trail who set it and when.
    static QString stateToolTip(const QModelIndex &index);

private:
    static int fieldIndex(const QModelIndex &index);
    static void paintState(QPainter *painter, const QRect &cell, int state);
    static void paintQuestion(QPainter *painter, const QRect &cell);

    bool states = true;
};
