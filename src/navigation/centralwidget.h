#pragma once

#include <QList>
#include <QWidget>

class ListViewer;
class QTreeWidgetItem;

namespace Ui {
class CentralWidget;
}

// The navigation area: a tree of the list pages and their entries beside the pages themselves.
class CentralWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CentralWidget(QWidget *parent = nullptr);
    ~CentralWidget() override;

public slots:
    void loadAll();
    void clear();

protected slots:
    void itemClicked(QTreeWidgetItem *item, int column);

private:
    void addPage(ListViewer *page);
    void showEntries(ListViewer *page);

    Ui::CentralWidget *ui;
    QList<ListViewer *> pages;
    QTreeWidgetItem *rootItem = nullptr;
};
