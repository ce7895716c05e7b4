#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSqlRelation>
#include <QString>

#include <functional>

#include "model/extrecord.h"
#include "model/extrecordstore.h"
#include "model/extsignatures.h"

// The rows of one table that the logged-in user may see, with their review metadata. Changes
// stay in memory as flags on the rows until save() writes them and reloads.
class QSqlQuery;

class ExtModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ExtModel(QObject *parent = nullptr);
    explicit ExtModel(const QString &table, QObject *parent = nullptr);
    ~ExtModel() override;

    void setTable(const QString &table);
    ExtRecord &record();
    void setLabel(int field, const QString &label);
    void setRelation(int field, const QSqlRelation &relation);
    QSqlRelation relation(int field) const;

    bool select();
    bool save();
    bool saveRecord(const ExtRecord &record);
    bool deleteRecord(const ExtRecord &record);

    bool insertRecord(int row, const QModelIndex &parent = QModelIndex());
    bool removeRecord(int row, const QModelIndex &parent = QModelIndex());
    void setMarked(int row, bool marked);
    void toggleMark(int row);
    bool isMarked(int row) const;
    void setState(int row, int field, int state);
    // How many rows hold changes not written yet: new, changed (values, states or mark) or
    // marked for deletion. Nothing is unsaved at 0.
    int pendingRowCount() const;

    QModelIndex index(int row, int column,
                      const QModelIndex &parent = QModelIndex()) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void setMessage(const QString &text);
    // False when the database has no audit table: saves then write no trail. Checked by
    // setTable(), that is once per load.
    bool keepsAuditTrail() const { return auditTrail; }
    // False when the database has no tables for questions and signatures; checked with the
    // trail.
    bool keepsReview() const { return reviewTables; }
    // The signature in force on the row, as read at the last load or review step; none when
    // the row is not signed.
    const ExtSignature *signature(int row) const;
    // Why the row's values, states and existence stay as they are; empty when it is not signed.
    QString signedRefusal(int row) const;
    // The questions not closed yet on one field of the row.
    int openQuestions(int row, int field) const;
    // Reads the signatures and the open questions again, after a review step wrote at once.
    void readReview();
    // True, after saying why (refused), when the row is signed.
    bool refuseSigned(int row);

    QString query;
    QList<ExtRecord *> records;
    ExtRecord columnRecord;
    QString tableName;
    QString message;
signals:
    // save() stopped at row; reason says why in the user's words.
    void saveFailed(int row, const QString &reason);
    void progress(int percent);
    void messageChanged(QString message);
    // A change refused, with the reason: the row is signed, or the column cannot hold the value
    // (a pasted one: a typed one is refused by its editor).
    void refused(QString reason);
    // The signatures and open questions were read again.
    void reviewRead();

protected:
    // setTable() and select() with the visibility statement sent once; describe, run between
    // the two (labels and relations of a schema), can stop the load.
    bool load(const QString &table, const std::function<bool()> &describe);

private:
    // setTable() that hands out the executed statement with its rows, and select() from such
    // a statement.
    void setTable(const QString &table, QSqlQuery *rows);
    bool selectFrom(QSqlQuery &rows);
    void takeServerIds(const QString &table);
    static QVariant currentUserId();
    bool validRow(int row) const { return row >= 0 && row < records.size(); }
    void rowChanged(int row, int firstColumn, int lastColumn);
    void reportProgress(int done, int total);
    bool loadFailed(const QString &reason);
    // written receives the record as stored: its id and stamps; reason, why it failed.
    bool saveRecord(const ExtRecord &record, ExtRecord *written, QString *reason);
    bool deleteRecord(const ExtRecord &record, QString *reason);
    ExtRecordStore store();
    QString failureText(const QSqlError &error, const QString &conflict,
                        const ExtRecord &row) const;

    int lastProgress = -1;
    QVariant queryUserId;
    // What the row stores learn of the server, once per save.
    SqlUnitOfWork::ServerFacts serverFacts;
    bool auditTrail = false;
    bool reviewTables = false;
    // By row id as text.
    QHash<QString, ExtSignature> signatures;
    QHash<QString, QHash<QString, int>> questionCounts;
    // The column limits of limitsTable, read once per table.
    QString limitsTable;
    QHash<QString, ColumnLimit> limitsByName;
};
