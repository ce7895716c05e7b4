#pragma once

#include <QVariant>
#include <QWidget>

// One input control for one field, whose value is read and shown as a QVariant; remembers
// whether the user edited it.
class AbstractFieldWidget : public QWidget
{
    Q_OBJECT
public:
    AbstractFieldWidget(QWidget *editor, QWidget *parent = nullptr);

    virtual QVariant value() const = 0;
    virtual void setValue(const QVariant &value) = 0;

    QWidget *editor;
    bool isChanged = false;

signals:
    void change();

public slots:
    void changed();
};
