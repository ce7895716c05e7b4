#pragma once

#include <QPersistentModelIndex>
#include <QTableView>

// The grid of a table editor. While it has no rows it says why (a table not loaded yet); and it
// outlines the row a save stopped at until that row is saved, reverted or reloaded.
class ExtTableView : public QTableView
{
    Q_OBJECT
public:
    explicit ExtTableView(QWidget *parent = nullptr);

    void setEmptyText(const QString &text);
    QString emptyText() const { return hint; }
    // -1 takes the outline away.
    void flagRow(int row);
    int flaggedRow() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString hint;
    QPersistentModelIndex flagged;
};
