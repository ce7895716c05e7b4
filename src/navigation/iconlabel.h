#pragma once

#include <QIcon>
#include <QWidget>

class QLabel;

// An icon and a rich text side by side, for the status bar; the owner fills both labels.
class IconLabel : public QWidget
{
    Q_OBJECT
public:
    IconLabel(const QIcon &icon, const QString &text, QWidget *parent = nullptr);

    QIcon icon;
    QLabel *pixmapLabel;
    QLabel *textLabel;
};
