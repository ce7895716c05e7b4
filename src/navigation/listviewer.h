#pragma once

#include <QList>
#include <QMainWindow>

class QAction;
class QListWidgetItem;

namespace Ui {
class ListViewer;
}

// A list page: every row opens something through its item action, the tool bar and the
// list's context menu carry the page actions.
class ListViewer : public QMainWindow
{
    Q_OBJECT
public:
    explicit ListViewer(QWidget *parent = nullptr);
    ~ListViewer() override;

    void addToolAction(QAction *action);
    void addItemAction(QAction *action);
    void clearItems();
    int currentRow() const;
    QList<QAction *> itemActions() const;

public slots:
    virtual void load();

signals:
    // The item actions were read anew.
    void itemsChanged();

protected slots:
    void itemClicked(QListWidgetItem *item);

private:
    Ui::ListViewer *ui;
    QList<QAction *> actions;
};
