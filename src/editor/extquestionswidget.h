#pragma once

#include <QList>
#include <QWidget>

#include "model/extfieldqueries.h"

class ExtModel;

namespace Ui {
class ExtQuestionsWidget;
}

// The questions tab: the questions on the fields of one row with their threads. Anyone who sees
// the row answers the selected question; the one who asked it, or an administrator, closes or
// reopens it. Each step is written at once.
class ExtQuestionsWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ExtQuestionsWidget(ExtModel *model, QWidget *parent = nullptr);
    ~ExtQuestionsWidget() override;

    // The question selected in the tree (or the one of the selected message); null for none.
    const ExtFieldQuery *selectedQuestion() const;

public slots:
    void setRow(int row);
    // Reads the row's questions again.
    void refresh();
    void answer();
    void toggleClosed();

private:
    void updateButtons();
    ExtFieldQueries store() const;

    Ui::ExtQuestionsWidget *ui;
    ExtModel *model;
    int row = -1;
    QList<ExtFieldQuery> questions;
    // Asked of the server at each refresh, so a membership granted meanwhile counts.
    bool administrator = false;
};
