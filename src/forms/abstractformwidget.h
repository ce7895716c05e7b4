#pragma once

#include <QWidget>

// A page that loads its content from where it is stored and saves it back; its window title
// and icon name it in the dialogs.
class AbstractFormWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AbstractFormWidget(QWidget *parent = nullptr);

public slots:
    virtual bool save() = 0;
    virtual bool load() = 0;

signals:
    void changed();
};
