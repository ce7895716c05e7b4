#pragma once

#include <QDialog>
#include <QList>

class AbstractFormWidget;

namespace Ui {
class GroupFormWidget;
}

// A dialog of several pages, listed by title on the left, loaded and saved together.
class GroupFormWidget : public QDialog
{
    Q_OBJECT
public:
    explicit GroupFormWidget(QWidget *parent = nullptr);
    ~GroupFormWidget() override;

    void addFormWidget(AbstractFormWidget *page);

public slots:
    void showCurrentWidget();
    bool loadAll();
    bool saveAll();
    void okClicked();

private:
    Ui::GroupFormWidget *ui;
    QList<AbstractFormWidget *> pages;
};
