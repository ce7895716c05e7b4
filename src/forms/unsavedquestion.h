#pragma once

#include <QCoreApplication>
#include <QMessageBox>
#include <functional>

class QWidget;

// Before work that would drop changes not written yet: asks whether to write them first (the
// button write), drop them, or keep them and not go on.
class UnsavedQuestion
{
    Q_DECLARE_TR_FUNCTIONS(UnsavedQuestion)
public:
    // True when the work may go on: the changes were written (write returned true) or dropped.
    static bool settle(QWidget *parent, const QString &text, const QString &informativeText,
                       QMessageBox::StandardButton write, const std::function<bool()> &writeAll);
};
