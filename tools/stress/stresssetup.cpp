#include "stresssetup.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include "sqlscript.h"
#include "stressconfig.h"
#include "stressjournal.h"
#include "stresssnapshot.h"
#include "testdatabase.h"

bool StressSetup::exec(QSqlDatabase db, const QString &statement, QString *error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    *error = query.lastError().text() + " in: " + statement.left(300);
    return false;
}

bool StressSetup::run(const StressConfig &config, QSqlDatabase db, QString *error)
{
    return createDatabase(config, db, error) && fill(config, db, error) &&
           writeSchema(config.schemaPath(), error) && writeJournal(config, db, error);
}

bool StressSetup::createDatabase(const StressConfig &config, QSqlDatabase db, QString *error)
{
    const QString name = "`" + config.database + "`";
    if (!exec(db, "DROP DATABASE IF EXISTS " + name, error) ||
        !exec(db, "CREATE DATABASE " + name + " CHARACTER SET utf8mb4", error) ||
        !exec(db, "USE " + name, error))
        return false;
    QFile schema(TestDatabase::schemaPath());
    if (!schema.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + schema.fileName();
        return false;
    }
    for (const QString &statement : SqlScript::split(QString::fromUtf8(schema.readAll())))
        if (!exec(db, statement, error))
            return false;
    return true;
}

bool StressSetup::fill(const StressConfig &config, QSqlDatabase db, QString *error)
{
    const int users = config.workers;
    const int groups = groupCount(users);
    QStringList userRows, groupRows, memberships;
    for (int i = 0; i < users; ++i) {
        userRows << QString("(%1, '%2', MD5('%3'))")
                        .arg(i + 1)
                        .arg(StressConfig::userName(i), StressConfig::userPassword(i));
        memberships
            << QString("(%1, %2, %3)").arg(memberships.size() + 1).arg(1 + i % groups).arg(i + 1);
        // Some users are in two groups, so that their visible rows come from both halves of
        // the visibility statement at once.
        if (i % 3 == 2)
            memberships << QString("(%1, %2, %3)")
                               .arg(memberships.size() + 1)
                               .arg(1 + (i + 1) % groups)
                               .arg(i + 1);
    }
    for (int g = 1; g <= groups; ++g)
        groupRows << QString("(%1, 'team %1')").arg(g);

    const QString table = StressConfig::tableName();
    // Row s: group NULL when s % 5 = 0, group 0 when s % 5 is 1 or 2, else one of the teams;
    // created by user 1 + s % K, who also marks every seventh row.
    const QString creator = "1 + seq % " + QString::number(users);
    const QStringList statements = {
        "INSERT INTO users (id, username, password) VALUES " + userRows.join(", "),
        "INSERT INTO groups (id, name) VALUES " + groupRows.join(", "),
        "INSERT INTO groups_users (id, group_id, user_id) VALUES " + memberships.join(", "),
        // The data table gives ids from a server counter where the layout has them.
        "CREATE TABLE " + table + " (id INT NOT NULL" +
            (TestDatabase::minimalLayout() ? "" : " AUTO_INCREMENT") +
            ", group_id INT NULL, origin VARCHAR(40) NOT NULL, "
            "token VARCHAR(40) NOT NULL, creator INT NOT NULL, last_user INT NOT NULL, "
            "name VARCHAR(64) NULL, amount INT NULL, note VARCHAR(255) NULL, due DATE NULL, "
            "PRIMARY KEY (id), KEY (group_id), KEY (origin)) "
            "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
        "INSERT INTO " + table + " SELECT seq, CASE WHEN seq % 5 = 0 THEN NULL " +
            "WHEN seq % 5 < 3 THEN 0 ELSE 1 + seq % " + QString::number(groups) +
            " END, CONCAT('init-', seq), CONCAT('init-', seq), " + creator + ", " + creator +
            ", CONCAT('Row ', seq), seq % 1000, CONCAT('A note on row ', seq), "
            "DATE_ADD('2024-01-01', INTERVAL seq DAY) FROM mysql.seq_1_to_" +
            QString::number(initialRows),
        "INSERT INTO ext_records (id, table_name, table_id, created_user_id, created, "
        "modified_user_id, modified) SELECT id, '" +
            table +
            "', id, creator, '2025-01-01 10:00:00', last_user, '2025-01-01 10:00:00' FROM " +
            table + " ORDER BY id",
        "INSERT INTO ext_records_fields (ext_record_id, field_name, state) "
        "SELECT id, 'name', 1 FROM ext_records WHERE table_id % 2 = 0",
        "INSERT INTO ext_records_fields (ext_record_id, field_name, state) "
        "SELECT id, 'amount', -1 FROM ext_records WHERE table_id % 3 = 0",
        "INSERT INTO ext_records_monitorings (ext_record_id, user_id) "
        "SELECT id, created_user_id FROM ext_records WHERE table_id % 7 = 0"};
    for (const QString &statement : statements)
        if (!exec(db, statement, error))
            return false;
    return true;
}

bool StressSetup::writeSchema(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = "cannot write " + path;
        return false;
    }
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<table>\n <fields>\n"
               "  <field name=\"id\"><label>Id</label></field>\n"
               "  <field name=\"group_id\"><label>Group</label><relation><tablename>groups"
               "</tablename><indexColumn>id</indexColumn><displayColumn>name</displayColumn>"
               "</relation></field>\n"
               "  <field name=\"name\"><label>Name</label></field>\n"
               "  <field name=\"amount\"><label>Amount</label></field>\n"
               "  <field name=\"note\"><label>Note</label></field>\n"
               "  <field name=\"due\"><label>Due</label></field>\n"
               " </fields>\n</table>\n");
    return file.flush();
}

bool StressSetup::writeJournal(const StressConfig &config, QSqlDatabase db, QString *error)
{
    StressSnapshot snapshot;
    if (!snapshot.read(db, error))
        return false;
    QFile::remove(config.setupJournalPath());
    StressJournal journal(config.setupJournalPath());
    if (!journal.open(error))
        return false;
    for (const StressSnapshot::DataRow &data : snapshot.rows) {
        const StressSnapshot::Meta meta = snapshot.meta.value(data.id).value(0);
        StressJournal::Row row;
        row.result = "saved";
        row.kind = "new";
        row.origin = data.origin;
        row.token = data.token;
        row.states = StressJournal::statesText(meta.states);
        row.marked = meta.markedBy.contains(data.creator);
        row.user = data.creator;
        journal.write(row);
    }
    return true;
}
