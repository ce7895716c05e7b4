#include "benchdata.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include "sqlscript.h"

bool BenchData::exec(const QString &statement, QString *error)
{
    QSqlQuery query;
    if (query.exec(statement))
        return true;
    *error = query.lastError().text() + " in: " + statement.left(200);
    return false;
}

bool BenchData::createDatabase(const QString &host, int port, const QString &user,
                               const QString &password, const QString &database, QString *error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QMYSQL");
    db.setHostName(host);
    db.setPort(port);
    db.setUserName(user);
    db.setPassword(password);
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    if (!exec("DROP DATABASE IF EXISTS " + database, error) ||
        !exec("CREATE DATABASE " + database + " CHARACTER SET utf8mb4", error))
        return false;
    db.close();
    db.setDatabaseName(database);
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    QFile schema(STAVIMOR_SOURCE_DIR "/db/schema.sql");
    if (!schema.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + schema.fileName();
        return false;
    }
    // As the tests load it: trigger bodies hold semicolons of their own.
    for (const QString &statement : SqlScript::split(QString::fromUtf8(schema.readAll()))) {
        if (!exec(statement, error))
            return false;
    }
    return true;
}

bool BenchData::createShared(QString *error)
{
    const QStringList statements = {
        "INSERT INTO users (id, username, password) VALUES (1, 'bench', MD5('bench')), "
        "(2, 'other', MD5('other'))",
        "INSERT INTO groups (id, name) VALUES (1, 'mine'), (2, 'also mine'), (3, 'theirs'), "
        "(4, 'also theirs')",
        "INSERT INTO groups_users (group_id, user_id) VALUES (1, 1), (2, 1), (3, 2), (4, 2)",
        "CREATE TABLE centres (id INT NOT NULL PRIMARY KEY, name VARCHAR(64) NOT NULL) "
        "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
        "CREATE TABLE sponsors (id INT NOT NULL PRIMARY KEY, name VARCHAR(64) NOT NULL) "
        "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
        QString("INSERT INTO centres SELECT seq, CONCAT('Centre ', seq) FROM mysql.seq_1_to_%1")
            .arg(relationRows),
        QString("INSERT INTO sponsors SELECT seq, CONCAT('Sponsor ', seq) FROM mysql.seq_1_to_%1")
            .arg(relationRows)};
    for (const QString &statement : statements)
        if (!exec(statement, error))
            return false;
    return true;
}

bool BenchData::createTable(const QString &table, int visibleRows, QString *error)
{
    // Even ids are visible: s % 4 = 0 in the user's groups 1 and 2, s % 4 = 2 with group 0
    // or NULL; odd ids belong to the other user's groups 3 and 4. k = s / 2 numbers the
    // visible rows: metadata where k % 10 < 8, the user's mark at 0, the other's at 1.
    const QString rows = QString::number(2 * visibleRows);
    const QString visible = "seq % 2 = 0";
    const QString withMeta = visible + " AND (seq DIV 2) % 10 < 8";
    const QStringList statements = {
        "DROP TABLE IF EXISTS " + table,
        "CREATE TABLE " + table +
            " (id INT NOT NULL PRIMARY KEY, group_id INT NULL, name VARCHAR(64) NULL, "
            "note VARCHAR(255) NULL, code VARCHAR(16) NULL, amount INT NULL, quantity INT NULL, "
            "due DATE NULL, centre_id INT NULL, sponsor_id INT NULL, KEY (group_id)) "
            "ENGINE=InnoDB DEFAULT CHARSET=utf8mb4",
        "INSERT INTO " + table +
            " SELECT seq, CASE seq % 4 WHEN 0 THEN 1 + (seq DIV 4) % 2 "
            "WHEN 2 THEN IF((seq DIV 4) % 2 = 0, 0, NULL) ELSE 3 + (seq DIV 2) % 2 END, "
            "CONCAT('Name ', seq), CONCAT('A note on row ', seq, ' of the benchmark table'), "
            "CONCAT('C-', seq % 997), seq % 1000, seq % 37, "
            "DATE_ADD('2020-01-01', INTERVAL seq % 2000 DAY), 1 + seq % 200, 1 + (seq * 7) % 200 "
            "FROM mysql.seq_1_to_" +
            rows,
        "INSERT INTO ext_records (table_name, table_id, created_user_id, created, "
        "modified_user_id, modified) SELECT '" +
            table +
            "', seq, 2, DATE_ADD('2024-01-01', INTERVAL seq MINUTE), 1, "
            "DATE_ADD('2025-01-01', INTERVAL seq MINUTE) FROM mysql.seq_1_to_" +
            rows + " WHERE " + withMeta,
        "INSERT INTO ext_records_fields (ext_record_id, field_name, state) "
        "SELECT e.id, ELT(f.seq, '" +
            stateFields().join("', '") +
            "'), IF((e.table_id + f.seq) % 3 = 0, -1, 1) FROM ext_records e, mysql.seq_1_to_3 f "
            "WHERE e.table_name = '" +
            table + "'",
        "INSERT INTO ext_records_monitorings (ext_record_id, user_id) "
        "SELECT id, IF((table_id DIV 2) % 10 = 0, 1, 2) FROM ext_records WHERE table_name = '" +
            table + "' AND (table_id DIV 2) % 10 < 2"};
    for (const QString &statement : statements)
        if (!exec(statement, error))
            return false;
    return exec("ANALYZE TABLE " + table +
                    ", ext_records, ext_records_fields, "
                    "ext_records_monitorings",
                error);
}

QString BenchData::writeSchema(const QString &dir, const QString &table)
{
    const QString path = QDir(dir).filePath(table + ".xml");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    QTextStream out(&file);
    out << "<?xml version=\"1.0\"?>\n<table>\n <fields>\n"
           "  <field name=\"name\"><label>Name</label></field>\n"
           "  <field name=\"note\"><label>Note</label></field>\n"
           "  <field name=\"amount\"><label>Amount</label></field>\n"
           "  <field name=\"due\"><label>Due</label></field>\n"
           "  <field name=\"centre_id\"><label>Centre</label><relation><tablename>centres"
           "</tablename><indexColumn>id</indexColumn><displayColumn>name</displayColumn>"
           "</relation></field>\n"
           "  <field name=\"sponsor_id\"><label>Sponsor</label><relation><tablename>sponsors"
           "</tablename><indexColumn>id</indexColumn><displayColumn>name</displayColumn>"
           "</relation></field>\n"
           " </fields>\n</table>\n";
    return path;
}
