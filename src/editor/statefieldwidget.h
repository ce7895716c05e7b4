#pragma once

#include <QIcon>
#include <QMap>

#include "editor/abstractfieldwidget.h"

class QToolButton;

// The review state of a field as a button that steps through "error", "todo" and "valid".
class StateFieldWidget : public AbstractFieldWidget
{
    Q_OBJECT
public:
    struct State
    {
        QIcon icon;
        QString name;
        int number = 0;
    };

    explicit StateFieldWidget(QWidget *parent = nullptr);

    QVariant value() const override;
    void setValue(const QVariant &value) override;

public slots:
    void toogle();

private:
    QToolButton *control;
    QMap<int, State> states;
    int state = 0;
};
