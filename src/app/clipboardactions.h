#pragma once

class QAbstractItemView;
class QString;
class QWidget;

// Cut, copy and paste for whatever widget has the focus: text fields as they do themselves,
// item views as tab-separated rows of their selected cells.
class ClipboardActions
{
public:
    static void cut(QWidget *widget);
    static void copy(QWidget *widget);
    static void paste(QWidget *widget);

    static QString selectedText(const QAbstractItemView *view);
};
