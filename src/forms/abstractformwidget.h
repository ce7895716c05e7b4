#pragma once

#include <QWidget>

// A page that loads its content from where it is stored and saves it back; its window title
// and icon name it in the dialogs.
class AbstractFormWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AbstractFormWidget(QWidget *parent = nullptr);

    // Why the last save() or load() failed, in words for the user; empty when nothing failed.
    virtual QString errorString() const { return QString(); }

public slots:
    virtual bool save() = 0;
    virtual bool load() = 0;

signals:
    void changed();
};
