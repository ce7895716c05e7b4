#include "extrecord.h"

#include <QSet>
#include <QSqlField>
#include <QSqlRecord>

#include "db/sqlhelper.h"

#include <algorithm>

ExtRecord::ExtRecord()
    : marked(false)
    , deleted(false)
    , dirty(false)
{}

ExtRecord::ExtRecord(const ExtRecord &other)
    : QSqlRecord(other)
    , limits(other.limits)
    , marked(other.marked)
    , created(other.created)
    , modified(other.modified)
    , createdUserId(other.createdUserId)
    , modifiedUserId(other.modifiedUserId)
    , extId(other.extId)
    , deleted(false)
    , dirty(false)
    , loaded(other.loaded)
{
    // A map that already holds exactly the entries the copy would build is shared, not
    // rebuilt: the rows of a load then share one set of maps until one of them changes.
    const int count = other.count();
    auto complete = [count](const auto &map) {
        return map.size() == count &&
               (count == 0 || (map.firstKey() == 0 && map.lastKey() == count - 1));
    };
    const bool shareStates = complete(other.states);
    const bool shareRelations = complete(other.relations);
    const bool shareDisplayValues = complete(other.displayValues);
    const bool shareLabels = complete(other.labels) &&
                             std::none_of(other.labels.cbegin(), other.labels.cend(),
                                          [](const QString &label) { return label.isEmpty(); });
    if (shareStates)
        states = other.states;
    if (shareRelations)
        relations = other.relations;
    if (shareDisplayValues)
        displayValues = other.displayValues;
    if (shareLabels)
        labels = other.labels;
    for (int i = 0; i < count; ++i) {
        if (!shareStates)
            states.insert(i, other.state(i));
        if (!shareRelations)
            relations.insert(i, other.relation(i));
        if (!shareDisplayValues)
            displayValues.insert(i, other.displayValue(i));
        if (!shareLabels)
            labels.insert(i, other.label(i));
    }
}

int ExtRecord::state(int field) const
{
    return states.value(field, 0);
}

int ExtRecord::state(const QString &fieldName) const
{
    return state(indexOf(fieldName));
}

QSqlRelation ExtRecord::relation(int field) const
{
    return relations.value(field);
}

QVariant ExtRecord::displayValue(int field) const
{
    return displayValues.value(field);
}

QString ExtRecord::label(int field) const
{
    const QString text = labels.value(field);
    return text.isEmpty() ? fieldName(field) : text;
}

int ExtRecord::progress() const
{
    int sum = 0;
    for (int value : states)
        sum += value;
    // The first two columns (id and group) are not reviewed. A record with nothing else to
    // review has no scale: the sign of its states decides, and no states at all are "todo".
    const int reviewed = count() - 2;
    if (reviewed <= 0)
        return sum > 0 ? 100 : (sum < 0 ? 0 : 50);
    const float s = float(sum);
    const float d = float(reviewed);
    return int((s + d) / (2.0f * d) * 100.0f);
}

bool ExtRecord::isComplete(const QSqlRelation &relation)
{
    return !relation.tableName().isEmpty() && !relation.indexColumn().isEmpty() &&
           !relation.displayColumn().isEmpty();
}

bool ExtRecord::hasCompleteRelation() const
{
    for (const QSqlRelation &relation : relations) {
        if (isComplete(relation))
            return true;
    }
    return false;
}

void ExtRecord::setState(int field, int state)
{
    states.insert(field, state);
}

void ExtRecord::setRelation(int field, const QSqlRelation &relation)
{
    relations.insert(field, relation);
}

void ExtRecord::setCreated(const QDateTime &when, const QVariant &userId)
{
    created = when;
    createdUserId = userId;
}

void ExtRecord::setModified(const QDateTime &when, const QVariant &userId)
{
    modified = when;
    modifiedUserId = userId;
}

void ExtRecord::setValues(const QSqlRecord &row)
{
    clear();
    for (int i = 0; i < row.count(); ++i)
        append(row.field(i));
}

QString ExtRecord::relationStatement(int field) const
{
    return SqlHelper::relationStatement(relation(field), value(field));
}

void ExtRecord::rememberLoaded()
{
    // Implicitly shared: the copy costs nothing until the row is changed.
    loaded.known = true;
    loaded.values = *this;
    loaded.states = states;
    loaded.marked = marked;
    loaded.extId = extId;
    loaded.modified = modified;
}
