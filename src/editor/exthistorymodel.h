#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

#include "model/extaudittrail.h"

class ExtModel;

// The audit trail of the row last clicked in a table model, newest first: when (local time),
// who, which field (its label), the old and the new value as the user reads them.
class ExtHistoryModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { When, Who, Field, OldValue, NewValue, ColumnCount };

    explicit ExtHistoryModel(ExtModel *tableModel, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // "error", "todo" or "valid"; empty for no state.
    static QString stateName(const QVariant &state);

public slots:
    void setRecordFromIndex(const QModelIndex &index);
    void clear();

private:
    QString fieldText(const ExtAuditEntry &entry) const;
    QString valueText(const ExtAuditEntry &entry, const QVariant &value,
                      const QVariant &state) const;
    QString displayValue(int field, const QVariant &key) const;

    ExtModel *tableModel;
    QList<ExtAuditEntry> entries;
    // Relation lookups already made for the shown trail (statement to display value).
    mutable QHash<QString, QString> displayCache;
};
