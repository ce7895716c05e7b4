#include "extsignatures.h"

#include <QSqlQuery>

#include "db/sqlhelper.h"
#include "model/extaudittrail.h"
#include "model/extrecord.h"

QHash<QString, ExtSignature> ExtSignatures::active() const
{
    QHash<QString, ExtSignature> signatures;
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!query.exec("SELECT s.id, s.table_id, s.user_id, u.username, s.meaning, s.signed FROM "
                    "ext_records_signatures s LEFT JOIN users u ON u.id = s.user_id WHERE "
                    "s.table_name = " +
                    SqlHelper::literal(tableName) + " AND s.withdrawn IS NULL ORDER BY s.id"))
        return signatures;
    while (query.next()) {
        ExtSignature signature;
        signature.id = query.value(0).toLongLong();
        signature.tableId = query.value(1);
        signature.userId = query.value(2);
        signature.userName = userName(query.value(2), query.value(3));
        signature.meaning = query.value(4).toString();
        signature.when = utc(query.value(5));
        signatures.insert(signature.tableId.toString(), signature);
    }
    return signatures;
}

QString ExtSignatures::activeStatement(const QString &tableName, const QString &tableId)
{
    return "SELECT COALESCE(u.username, s.user_id) FROM ext_records_signatures s LEFT JOIN users "
           "u ON u.id = s.user_id WHERE s.table_name = " +
           SqlHelper::literal(tableName) + " AND s.table_id = " + tableId +
           " AND s.withdrawn IS NULL FOR UPDATE";
}

bool ExtSignatures::sign(const QList<const ExtRecord *> &rows, const QString &meaning, QString *why)
{
    if (meaning.trimmed().isEmpty())
        return refuse(tr("a signature needs its meaning"), why);
    return transact(
        [&] {
            for (const ExtRecord *row : rows)
                if (!signRow(*row, meaning.trimmed()))
                    return false;
            return true;
        },
        why);
}

bool ExtSignatures::signRow(const ExtRecord &row, const QString &meaning)
{
    QString id;
    if (!row.loaded.known || !SqlHelper::idText(row.value("id"), &id))
        return refuse(tr("a new row is signed once it is saved"));
    // The data row stays locked until the commit: a save cannot come between the check and the
    // signature.
    QSqlQuery query;
    if (!exec(query,
              "SELECT e.id FROM " + SqlHelper::identifier(tableName) +
                  " t LEFT JOIN ext_records e ON e.table_name = " + SqlHelper::literal(tableName) +
                  " AND e.table_id = t.id WHERE t.id = " + id + " ORDER BY e.id FOR UPDATE"))
        return false;
    if (!query.next() || query.value(0).toLongLong() != row.loaded.extId)
        return refuse(tr("row %1 was changed or deleted on another workstation since it was "
                         "loaded; refresh to see that change")
                          .arg(id));
    if (!exec(query, activeStatement(tableName, id)))
        return false;
    if (query.next())
        return refuse(tr("row %1 is signed already, by %2").arg(id, query.value(0).toString()));
    ExtAuditEntry entry;
    entry.action = "sign";
    entry.newValue = meaning;
    return exec(query, "INSERT INTO ext_records_signatures (table_name, table_id, user_id, "
                       "meaning, signed) VALUES (" +
                           SqlHelper::literal(tableName) + ", " + id + ", " +
                           SqlHelper::literal(userId) + ", " + SqlHelper::literal(meaning) +
                           ", UTC_TIMESTAMP())") &&
           writeTrail(id, entry);
}

bool ExtSignatures::withdraw(const ExtSignature &signature, const QString &reason,
                             bool administrator, QString *why)
{
    if (reason.trimmed().isEmpty())
        return refuse(tr("a signature is withdrawn with a reason"), why);
    if (!administrator && signature.userId.toString() != userId.toString())
        return refuse(tr("only %1, who signed the row, or an administrator may withdraw this "
                         "signature")
                          .arg(signature.userName),
                      why);
    return transact(
        [&] {
            QSqlQuery query;
            // Withdrawn once: a second workstation's withdrawal finds it done.
            if (!exec(query, "UPDATE ext_records_signatures SET withdrawn_by = " +
                                 SqlHelper::literal(userId) +
                                 ", withdrawn = UTC_TIMESTAMP(), reason = " +
                                 SqlHelper::literal(reason.trimmed()) + " WHERE id = " +
                                 QString::number(signature.id) + " AND withdrawn IS NULL"))
                return false;
            if (query.numRowsAffected() != 1)
                return refuse(tr("the signature was withdrawn already"));
            ExtAuditEntry entry;
            entry.action = "withdraw";
            entry.oldValue = signature.meaning;
            entry.newValue = reason.trimmed();
            return writeTrail(signature.tableId, entry);
        },
        why);
}
