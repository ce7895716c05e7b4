#pragma once

#include <QDialog>
#include <QSqlRecord>

namespace Ui {
class ExtSignatureDialog;
}

// Asks for what a signing or a withdrawal needs: the meaning of the signature, or the reason of
// its withdrawal, and the signer's password again. It closes with Ok only once the password is
// the user's own.
class ExtSignatureDialog : public QDialog
{
    Q_OBJECT
public:
    enum Mode { Sign, Withdraw };

    ExtSignatureDialog(Mode mode, const QSqlRecord &user, const QString &rows,
                       QWidget *parent = nullptr);
    ~ExtSignatureDialog() override;

    QString meaning() const;
    QString reason() const;

public slots:
    void accept() override;

private:
    Ui::ExtSignatureDialog *ui;
    Mode mode;
    QSqlRecord user;
};
