#pragma once

#include <QMainWindow>

class QSqlQueryModel;

namespace Ui {
class QueryEditor;
}

// One SQL statement, its result or the server's error, and saving it for a group.
class QueryEditor : public QMainWindow
{
    Q_OBJECT
public:
    explicit QueryEditor(const QString &query, QWidget *parent = nullptr);
    ~QueryEditor() override;

    // Puts a statement in front of the user without running it.
    void edit(const QString &query);

public slots:
    void run();
    void clear();
    void save();
    void setAction(bool enable);
    void exportCsv();
    void exportPdf();

signals:
    // A statement was stored under a name: the lists of saved queries are out of date.
    void saved();

protected slots:
    void queryChanged();

private:
    Ui::QueryEditor *ui;
    QSqlQueryModel *model;
};
