#include "exthistorymodel.h"

#include "db/sqlhelper.h"
#include "model/extmodel.h"

ExtHistoryModel::ExtHistoryModel(ExtModel *tableModel, QObject *parent)
    : QAbstractTableModel(parent)
    , tableModel(tableModel)
{
    // A reload replaces the rows; the trail shown may belong to none of them any more.
    connect(tableModel, &QAbstractItemModel::modelReset, this, &ExtHistoryModel::clear);
}

void ExtHistoryModel::setRecordFromIndex(const QModelIndex &index)
{
    beginResetModel();
    entries.clear();
    displayCache.clear();
    if (index.isValid() && index.model() == tableModel && index.row() < tableModel->rowCount() &&
        tableModel->keepsAuditTrail()) {
        const ExtRecord *row = tableModel->records.at(index.row());
        // A new row has no id and no trail yet.
        if (!row->isNull("id"))
            entries = ExtAuditTrail(tableModel->tableName, QVariant()).history(row->value("id"));
    }
    endResetModel();
}

void ExtHistoryModel::clear()
{
    beginResetModel();
    entries.clear();
    displayCache.clear();
    endResetModel();
}

int ExtHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : entries.size();
}

int ExtHistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ExtHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case When:
        return tr("when");
    case Who:
        return tr("who");
    case Field:
        return tr("field");
    case OldValue:
        return tr("old value");
    case NewValue:
        return tr("new value");
    default:
        return QVariant();
    }
}

QString ExtHistoryModel::stateName(const QVariant &state)
{
    if (state.isNull())
        return QString();
    switch (state.toInt()) {
    case -1:
        return tr("error");
    case 1:
        return tr("valid");
    default:
        return tr("todo");
    }
}

QVariant ExtHistoryModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= entries.size())
        return QVariant();
    const ExtAuditEntry &entry = entries.at(index.row());
    switch (index.column()) {
    case When:
        return entry.when.toLocalTime().toString("yyyy-MM-dd HH:mm:ss");
    case Who:
        // A user removed since keeps the id the trail recorded.
        return entry.userName.isEmpty() && !entry.userId.isNull()
                   ? tr("user %1").arg(entry.userId.toString())
                   : entry.userName;
    case Field:
        return fieldText(entry);
    case OldValue:
        return valueText(entry, entry.oldValue, entry.oldState);
    case NewValue:
        return valueText(entry, entry.newValue, entry.newState);
    default:
        return QVariant();
    }
}

QString ExtHistoryModel::fieldText(const ExtAuditEntry &entry) const
{
    if (entry.action == "mark")
        return tr("mark");
    if (entry.action == "sign")
        return tr("signature");
    if (entry.action == "withdraw")
        return tr("signature withdrawn");
    if (entry.fieldName.isEmpty())
        return entry.action == "delete" ? tr("row deleted") : tr("row created");
    const int field = tableModel->columnRecord.indexOf(entry.fieldName);
    const QString label = field < 0 ? entry.fieldName : tableModel->columnRecord.label(field);
    if (entry.action == "question" || entry.action == "status")
        return tr("question on %1").arg(label);
    if (entry.action == "answer")
        return tr("answer on %1").arg(label);
    return label;
}

QString ExtHistoryModel::valueText(const ExtAuditEntry &entry, const QVariant &value,
                                   const QVariant &state) const
{
    if (entry.action == "state")
        return stateName(state);
    if (entry.action == "mark")
        return value.isNull() ? QString() : (value.toInt() ? tr("marked") : tr("not marked"));
    // Texts of questions and signatures are no values of the field.
    static const QStringList review = {"question", "answer", "status", "sign", "withdraw"};
    if (value.isNull() || entry.fieldName.isEmpty() || review.contains(entry.action))
        return value.toString();
    return displayValue(tableModel->columnRecord.indexOf(entry.fieldName), value);
}

QString ExtHistoryModel::displayValue(int field, const QVariant &key) const
{
    const QSqlRelation relation = tableModel->columnRecord.relation(field);
    if (field < 0 || !ExtRecord::isComplete(relation))
        return key.toString();
    const QString statement = SqlHelper::relationStatement(relation, key);
    auto cached = displayCache.constFind(statement);
    if (cached != displayCache.cend())
        return *cached;
    QVariant display;
    bool found = false;
    // A key the related table no longer holds, or a failed lookup, shows the key as stored.
    const QString text = SqlHelper::relationDisplay(relation, key, &display, &found) && found
                             ? display.toString()
                             : key.toString();
    displayCache.insert(statement, text);
    return text;
}
