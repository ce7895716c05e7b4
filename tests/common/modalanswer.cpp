#include "modalanswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

ModalAnswer::ModalAnswer(Answer answer, int timeoutMs)
    : answer(std::move(answer))
    , remaining(timeoutMs)
{
    QTimer::singleShot(0, this, &ModalAnswer::poll);
}

void ModalAnswer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) {
        remaining -= 20;
        if (remaining > 0)
            QTimer::singleShot(20, this, &ModalAnswer::poll);
        return;
    }
    seenTitle = modal->windowTitle();
    seenClass = modal->metaObject()->className();
    if (auto *box = qobject_cast<QMessageBox *>(modal)) {
        seenText = box->text();
        seenInformative = box->informativeText();
        seenDetailed = box->detailedText();
    }
    done = true;
    answer(modal);
}

ModalAnswer::Answer ModalAnswer::clickButton(const QString &text)
{
    return [text](QWidget *modal) {
        const auto buttons = modal->findChildren<QAbstractButton *>();
        for (QAbstractButton *button : buttons) {
            if (button->text().remove('&') == text) {
                button->click();
                return;
            }
        }
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    };
}

ModalAnswer::Answer ModalAnswer::accept()
{
    return [](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            QAbstractButton *button = box->defaultButton();
            if (!button)
                button = box->buttons().value(0);
            if (button) {
                button->click();
                return;
            }
        }
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->accept();
    };
}

ModalAnswer::Answer ModalAnswer::reject()
{
    return chooseFile(QString());
}

ModalAnswer::Answer ModalAnswer::chooseFile(const QString &path)
{
    return [path](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog || path.isEmpty()) {
            if (auto *other = qobject_cast<QDialog *>(modal))
                other->reject();
            return;
        }
        dialog->selectFile(path);
        // accept() is protected in QFileDialog; as a slot it checks the choice like a click.
        QMetaObject::invokeMethod(dialog, "accept");
    };
}
