#include "unsavedquestion.h"

bool UnsavedQuestion::settle(QWidget *parent, const QString &text, const QString &informativeText,
                             QMessageBox::StandardButton write,
                             const std::function<bool()> &writeAll)
{
    QMessageBox box(QMessageBox::Warning, tr("unsaved changes"), text,
                    write | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setInformativeText(informativeText);
    box.setDefaultButton(write);
    const int answer = box.exec();
    if (answer == write)
        return writeAll();
    return answer == QMessageBox::Discard;
}
