#include "extmodel.h"

#include <QColor>
#include <QFont>
#include <QHash>
#include <QIcon>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtMath>
#include <algorithm>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/sqlhelper.h"
#include "model/extaudittrail.h"
#include "model/extfailurereason.h"
#include "model/extfieldqueries.h"
#include "model/extmetadata.h"

ExtModel::ExtModel(QObject *parent)
    : QAbstractTableModel(parent)
{}

ExtModel::ExtModel(const QString &table, QObject *parent)
    : QAbstractTableModel(parent)
{
    setTable(table);
}

ExtModel::~ExtModel()
{
    qDeleteAll(records);
}

QVariant ExtModel::currentUserId()
{
    return Stavimor::instance()->userManager->currentUser.value("id");
}

void ExtModel::setTable(const QString &table)
{
    setTable(table, nullptr);
}

void ExtModel::setTable(const QString &table, QSqlQuery *rows)
{
    tableName = table;
    // Only a whole number stands unquoted in the statement; without one it is malformed and
    // yields no columns.
    QString userId;
    SqlHelper::idText(currentUserId(), &userId);
    const QString name = SqlHelper::identifier(table);
    QSqlQuery result;
    // Prepared, because a direct exec() trims the final blank off the text.
    result.setForwardOnly(true);
    result.prepare("(SELECT t.* from " + name +
                   " t ,groups_users gu  WHERE t.group_id = gu.group_id AND gu.user_id=" + userId +
                   ") UNION (SELECT t.* from " + name +
                   " t WHERE  t.group_id=0 OR ISNULL(t.group_id)) ");
    result.exec();
    query = result.lastQuery();
    queryUserId = currentUserId();
    columnRecord.setValues(result.record());
    if (limitsTable != table) {
        limitsByName = ColumnLimit::read(table);
        limitsTable = table;
    }
    columnRecord.limits.clear();
    for (int i = 0; i < columnRecord.count(); ++i)
        if (limitsByName.contains(columnRecord.fieldName(i)))
            columnRecord.limits.insert(i, limitsByName.value(columnRecord.fieldName(i)));
    takeServerIds(name);
    auditTrail = ExtAuditTrail::isKept();
    reviewTables = ExtReviewStore::isKept();
    if (rows)
        *rows = std::move(result);
}

// A union's columns lose the auto-increment flag of the table's id. With it, a new row takes the
// server's own id, which no other workstation or cluster node can take as well.
void ExtModel::takeServerIds(const QString &table)
{
    const int id = columnRecord.indexOf("id");
    if (id < 0)
        return;
    QSqlQuery own;
    own.setForwardOnly(true);
    if (!own.exec("SELECT * FROM " + table + " LIMIT 0") || !own.record().field("id").isAutoValue())
        return;
    QSqlField field = columnRecord.field(id);
    field.setAutoValue(true);
    columnRecord.replace(id, field);
}

ExtRecord &ExtModel::record()
{
    columnRecord.clearValues();
    return columnRecord;
}

void ExtModel::setLabel(int field, const QString &label)
{
    columnRecord.labels.insert(field, label);
}

void ExtModel::setRelation(int field, const QSqlRelation &relation)
{
    columnRecord.setRelation(field, relation);
}

QSqlRelation ExtModel::relation(int field) const
{
    return columnRecord.relation(field);
}

void ExtModel::reportProgress(int done, int total)
{
    const int percent = total > 0 ? int(qint64(done) * 100 / total) : 100;
    if (percent == lastProgress)
        return;
    lastProgress = percent;
    emit progress(percent);
}

bool ExtModel::select()
{
    // The visibility statement names the user it was built for: after another login it
    // would show that user's rows to this one.
    if (!tableName.isEmpty() && currentUserId() != queryUserId)
        setTable(tableName);
    SqlHelper::reopenIfLost();
    QSqlQuery result;
    result.setForwardOnly(true);
    if (!query.isEmpty())
        result.exec(query);
    return selectFrom(result);
}

bool ExtModel::load(const QString &table, const std::function<bool()> &describe)
{
    SqlHelper::reopenIfLost();
    QSqlQuery rows;
    setTable(table, &rows);
    return describe() && selectFrom(rows);
}

bool ExtModel::selectFrom(QSqlQuery &result)
{
    // A lost connection, or metadata that could not be read, loads nothing: the rows on screen
    // stay with their pending changes, and a later save cannot wipe states it never read. A
    // statement the server refused (a table that does not exist) loads an empty table.
    if (SqlHelper::noteLostConnection(result.lastError()))
        return loadFailed(result.lastError().text());
    QList<ExtRecord *> loaded;
    if (result.isActive() && result.isSelect()) {
        // Every row starts from one copy, whose maps the rows share until they change, and
        // keeps its fields when the result has the same columns: only the values are per row.
        const ExtRecord pattern(columnRecord);
        const QSqlRecord columns = result.record();
        bool sameColumns = columns.count() == pattern.count();
        for (int i = 0; sameColumns && i < columns.count(); ++i)
            sameColumns = columns.fieldName(i) == pattern.fieldName(i) &&
                          columns.field(i).metaType() == pattern.field(i).metaType();
        while (result.next()) {
            auto *row = new ExtRecord(pattern);
            if (sameColumns) {
                for (int i = 0; i < columns.count(); ++i)
                    row->setValue(i, result.value(i));
            } else {
                row->setValues(result.record());
            }
            loaded << row;
        }
    }

    const QString userId = currentUserId().toString();
    QString error;
    if (!ExtMetadata::readRecords(loaded, tableName, userId, columnRecord, &error)) {
        qDeleteAll(loaded);
        return loadFailed(error);
    }
    const bool hasRelations = columnRecord.hasCompleteRelation();
    // Display values are looked up once per load; the next load asks the server again.
    QHash<QString, QVariant> displayCache;
    if (hasRelations)
        ExtMetadata::fetchDisplayValues(loaded, &displayCache);
    lastProgress = -1;
    for (int n = 0; n < loaded.size(); ++n) {
        reportProgress(n, loaded.size());
        loaded.at(n)->rememberLoaded();
        if (hasRelations)
            ExtMetadata::resolveRelations(*loaded.at(n), &displayCache);
        setMessage(tr("loading ") + QString::number(n));
    }
    setMessage(tr("loading finish"));
    reportProgress(loaded.size(), loaded.size());

    beginResetModel();
    qDeleteAll(records);
    records = loaded;
    endResetModel();
    readReview();
    return true;
}

void ExtModel::readReview()
{
    signatures.clear();
    questionCounts.clear();
    if (reviewTables) {
        signatures = ExtSignatures(tableName, currentUserId()).active();
        questionCounts = ExtFieldQueries(tableName, currentUserId()).openCounts();
    }
    emit reviewRead();
    if (records.isEmpty())
        return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
}

const ExtSignature *ExtModel::signature(int row) const
{
    if (!validRow(row) || records.at(row)->isNull("id"))
        return nullptr;
    const auto found = signatures.constFind(records.at(row)->value("id").toString());
    return found == signatures.cend() ? nullptr : &found.value();
}

QString ExtModel::signedRefusal(int row) const
{
    const ExtSignature *signedBy = signature(row);
    if (!signedBy)
        return QString();
    return tr("This row was signed (%1) by %2 on %3: its values, review states and deletion "
              "stay as signed until the signature is withdrawn.")
        .arg(signedBy->meaning, signedBy->userName,
             signedBy->when.toLocalTime().toString("yyyy-MM-dd HH:mm"));
}

bool ExtModel::refuseSigned(int row)
{
    const QString reason = signedRefusal(row);
    if (reason.isEmpty())
        return false;
    emit refused(reason);
    return true;
}

int ExtModel::openQuestions(int row, int field) const
{
    if (!validRow(row) || records.at(row)->isNull("id"))
        return 0;
    return questionCounts.value(records.at(row)->value("id").toString())
        .value(columnRecord.fieldName(field));
}

bool ExtModel::loadFailed(const QString &reason)
{
    setMessage(tr("error, cannot load %1: %2").arg(tableName, reason));
    return false;
}

namespace {
// A new row has no id yet: nothing, rather than the "0" of a null number.
QString idText(const ExtRecord &row)
{
    return row.isNull("id") ? QString() : row.value("id").toString();
}
} // namespace

bool ExtModel::save()
{
    SqlHelper::reopenIfLost();
    serverFacts = {};
    const int count = rowCount();
    const QList<ExtRecord *> snapshot = records;
    lastProgress = -1;
    for (int i = 0; i < snapshot.size(); ++i) {
        ExtRecord *row = snapshot.at(i);
        const int percent = qFloor(double(i) / count * 100.0 + 0.5);
        setMessage(tr("processing ") + QString::number(double(percent)) + "%");
        reportProgress(percent, 100);
        const int position = records.indexOf(row);
        if (row->dirty) {
            ExtRecord written;
            QString reason;
            if (!saveRecord(*row, &written, &reason)) {
                setMessage(tr("error, cannot save item ") + idText(*row));
                emit saveFailed(position, reason);
                return false;
            }
            // Written: a later save after a failure must not write this row again, and a new
            // row now has its id.
            row->setValue("id", written.value("id"));
            row->setCreated(written.created, written.createdUserId);
            row->setModified(written.modified, written.modifiedUserId);
            row->extId = written.extId;
            row->dirty = false;
            row->rememberLoaded();
            rowChanged(position, 0, columnCount() - 1);
        }
        if (row->deleted) {
            QString reason;
            if (!deleteRecord(*row, &reason)) {
                setMessage(tr("error, cannot delete item ") + idText(*row));
                emit saveFailed(position, reason);
                return false;
            }
            beginRemoveRows(QModelIndex(), position, position);
            delete records.takeAt(position);
            endRemoveRows();
        }
    }
    setMessage(tr("Save compete"));
    reportProgress(100, 100);
    select();
    return true;
}

bool ExtModel::saveRecord(const ExtRecord &record)
{
    return saveRecord(record, nullptr, nullptr);
}

bool ExtModel::saveRecord(const ExtRecord &record, ExtRecord *written, QString *reason)
{
    ExtRecord copy(record);
    QSqlError error;
    QString conflict;
    if (!store().save(copy, &error, &conflict)) {
        if (reason)
            *reason = failureText(error, conflict, record);
        return false;
    }
    if (written)
        *written = copy;
    return true;
}

ExtRecordStore ExtModel::store()
{
    ExtRecordStore store(tableName, currentUserId(), &serverFacts);
    store.auditTrail = auditTrail;
    store.signatures = reviewTables;
    return store;
}

QString ExtModel::failureText(const QSqlError &error, const QString &conflict,
                              const ExtRecord &row) const
{
    QString text =
        conflict.isEmpty() ? ExtFailureReason::describe(error, tableName, row) : conflict;
    if (SqlHelper::noteLostConnection(error))
        text += tr("; the connection to the server was lost, and is opened again at the next "
                   "load or save");
    return text;
}

bool ExtModel::deleteRecord(const ExtRecord &record)
{
    return deleteRecord(record, nullptr);
}

bool ExtModel::deleteRecord(const ExtRecord &record, QString *reason)
{
    QSqlError error;
    QString conflict;
    if (store().remove(record, &error, &conflict))
        return true;
    if (reason)
        *reason = failureText(error, conflict, record);
    return false;
}

bool ExtModel::insertRecord(int row, const QModelIndex &parent)
{
    Q_UNUSED(parent)
    const int count = rowCount();
    if (row >= count)
        return false;
    if (row < 0)
        row = count;
    beginInsertRows(QModelIndex(), row, row);
    auto *record = new ExtRecord(columnRecord);
    // A value left in the column record (it is handed out by record()) must not give the new
    // row an id, which would make the save overwrite that row.
    record->clearValues();
    record->dirty = true;
    records.insert(row, record);
    endInsertRows();
    return true;
}

bool ExtModel::removeRecord(int row, const QModelIndex &parent)
{
    Q_UNUSED(parent)
    if (!validRow(row))
        return false;
    if (refuseSigned(row))
        return false;
    ExtRecord *record = records.at(row);
    if (!record->dirty && !record->deleted) {
        record->deleted = true;
        emit headerDataChanged(Qt::Vertical, row, row);
        return true;
    }
    // A new or changed row loses its edits; a second removal withdraws the deletion.
    beginRemoveRows(QModelIndex(), row, row);
    delete records.takeAt(row);
    endRemoveRows();
    return true;
}

void ExtModel::rowChanged(int row, int firstColumn, int lastColumn)
{
    emit dataChanged(index(row, firstColumn), index(row, lastColumn));
    emit headerDataChanged(Qt::Vertical, row, row);
}

void ExtModel::setMarked(int row, bool marked)
{
    if (!validRow(row))
        return;
    records.at(row)->marked = marked;
    records.at(row)->dirty = true;
    rowChanged(row, 0, columnCount() - 1);
}

void ExtModel::toggleMark(int row)
{
    if (validRow(row))
        setMarked(row, !isMarked(row));
}

bool ExtModel::isMarked(int row) const
{
    return validRow(row) && records.at(row)->marked;
}

void ExtModel::setState(int row, int field, int state)
{
    if (!validRow(row) || refuseSigned(row))
        return;
    records.at(row)->setState(field, state);
    records.at(row)->dirty = true;
    rowChanged(row, 1, 1);
}

int ExtModel::pendingRowCount() const
{
    return int(std::count_if(records.cbegin(), records.cend(),
                             [](const ExtRecord *row) { return row->dirty || row->deleted; }));
}

QModelIndex ExtModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return QModelIndex();
    return createIndex(row, column, records.at(row));
}

int ExtModel::rowCount(const QModelIndex &parent) const
{
    Q_UNUSED(parent)
    return records.size();
}

int ExtModel::columnCount(const QModelIndex &parent) const
{
    Q_UNUSED(parent)
    return columnRecord.count() + 2;
}

QVariant ExtModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !validRow(index.row()))
        return QVariant();
    const ExtRecord *row = records.at(index.row());
    const int column = index.column();
    const int field = column - 2;
    switch (role) {
    case Qt::DisplayRole:
        if (column == 0)
            return QVariant();
        if (column == 1)
            return row->progress();
        if (ExtRecord::isComplete(row->relation(field)))
            return row->displayValue(field);
        return row->value(field);
    case Qt::DecorationRole:
        if (column == 0 && row->marked)
            return QIcon(":/16x16/star.png");
        return QVariant();
    case Qt::FontRole: {
        QFont font;
        font.setWeight(row->marked ? QFont::Bold : QFont::Normal);
        return font;
    }
    case Qt::BackgroundRole:
        return row->marked ? QVariant(QColor(45, 69, 116, 255)) : QVariant();
    case Qt::ForegroundRole:
        return row->marked ? QVariant(QColor(Qt::white)) : QVariant();
    default:
        return QVariant();
    }
}

bool ExtModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if ((role != Qt::EditRole && role != Qt::DisplayRole) || !index.isValid() ||
        !validRow(index.row()))
        return false;
    if (index.column() < 2)
        return true;
    if (refuseSigned(index.row()))
        return false;
    ExtRecord *row = records.at(index.row());
    // A value the column cannot hold never reaches the row, and so never the server.
    QString refusal;
    const QVariant taken = row->limit(index.column() - 2).take(value, &refusal);
    if (!refusal.isEmpty()) {
        emit refused(row->label(index.column() - 2) + ": " + refusal);
        return false;
    }
    row->setValue(index.column() - 2, taken);
    ExtMetadata::resolveRelations(*row);
    row->dirty = true;
    rowChanged(index.row(), 0, columnCount() - 1);
    return true;
}

QVariant ExtModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical && (role == Qt::DecorationRole || role == Qt::ToolTipRole)) {
        const ExtSignature *signedBy = signature(section);
        if (!signedBy)
            return QVariant();
        if (role == Qt::DecorationRole)
            return QIcon(":/16x16/security.png");
        return tr("signed (%1) by %2 on %3")
            .arg(signedBy->meaning, signedBy->userName,
                 signedBy->when.toLocalTime().toString("yyyy-MM-dd HH:mm"));
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal) {
        if (section == 0)
            return tr("M");
        if (section == 1)
            return tr("progress");
        if (section < 2 || section >= columnCount())
            return QVariant();
        return columnRecord.label(section - 2);
    }
    if (!validRow(section))
        return QVariant();
    const ExtRecord *row = records.at(section);
    if (row->dirty)
        return "*";
    if (row->deleted)
        return "!";
    return section;
}

bool ExtModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                             int role)
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 2)
        return false;
    setLabel(section - 2, value.toString());
    return true;
}

Qt::ItemFlags ExtModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // A signed row opens no editor; the table editor says why instead.
    if (index.column() < 2 || signature(index.row()))
        return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled;
}

void ExtModel::setMessage(const QString &text)
{
    message = text;
    emit messageChanged(message);
}
