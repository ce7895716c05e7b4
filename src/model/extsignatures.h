#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include "model/extreviewstore.h"

class ExtRecord;

// One signature of a row: who signed it, meaning what, when (UTC), and its withdrawal if any.
struct ExtSignature
{
    qlonglong id = 0;
    QVariant tableId;
    QVariant userId;
    QString userName;
    QString meaning;
    QDateTime when;
    QVariant withdrawnBy;
    QDateTime withdrawn;
    QString reason;
};

// The signatures of one table's rows. A signed row keeps its values, states and existence until
// its signature is withdrawn, with a reason; the withdrawn signature stays on record.
class ExtSignatures : public ExtReviewStore
{
    Q_DECLARE_TR_FUNCTIONS(ExtSignatures)
public:
    using ExtReviewStore::ExtReviewStore;

    // The signatures in force, by row id as text: one statement per load.
    QHash<QString, ExtSignature> active() const;
    // Writes that fail or are refused give why in the user's words.
    // Signs each row, all or none. A row must be as it was loaded (its metadata row unchanged,
    // so no other workstation saved it meanwhile) and not signed already.
    bool sign(const QList<const ExtRecord *> &rows, const QString &meaning, QString *why = nullptr);
    // Withdraws a signature in force; only its signer, or an administrator, may.
    bool withdraw(const ExtSignature &signature, const QString &reason, bool administrator,
                  QString *why = nullptr);
    // The signer's name of the signature in force on the row, locking it until the caller's
    // transaction ends; no row when there is none.
    static QString activeStatement(const QString &tableName, const QString &tableId);

private:
    bool signRow(const ExtRecord &row, const QString &meaning);
};
