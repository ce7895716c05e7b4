-- The shared database of Stavimor: accounts, groups, saved statements, installation facts
-- and the review metadata kept beside every data table.

CREATE TABLE users (
    id INT NOT NULL AUTO_INCREMENT,
    username VARCHAR(64) NOT NULL,
    password CHAR(32) NOT NULL DEFAULT '',
    first_name VARCHAR(128) NULL,
    second_name VARCHAR(128) NULL,
    email VARCHAR(255) NULL,
    avatar_url VARCHAR(255) NULL,
    comment TEXT NULL,
    PRIMARY KEY (id),
    UNIQUE KEY users_username (username)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE groups (
    id INT NOT NULL AUTO_INCREMENT,
    name VARCHAR(128) NOT NULL,
    PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- Column order matters: the membership grid hides column 0 and relates column 2.
CREATE TABLE groups_users (
    id INT NOT NULL AUTO_INCREMENT,
    group_id INT NULL,
    user_id INT NULL,
    PRIMARY KEY (id),
    KEY groups_users_user (user_id),
    KEY groups_users_group (group_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE contacts (
    id INT NOT NULL AUTO_INCREMENT,
    user_id INT NULL,
    contact_user_id INT NULL,
    PRIMARY KEY (id),
    KEY contacts_user (user_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE querys (
    id INT NOT NULL AUTO_INCREMENT,
    name VARCHAR(255) NULL,
    query TEXT NULL,
    group_id INT NULL,
    PRIMARY KEY (id),
    KEY querys_group (group_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE infos (
    module_update_url VARCHAR(1024) NULL,
    app_update_url VARCHAR(1024) NULL,
    version VARCHAR(64) NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE ext_records (
    id INT NOT NULL AUTO_INCREMENT,
    table_name VARCHAR(64) NULL,
    table_id INT NULL,
    created_user_id INT NULL,
    created DATETIME NULL,
    modified_user_id INT NULL,
    modified DATETIME NULL,
    PRIMARY KEY (id),
    KEY ext_records_row (table_name, table_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE ext_records_fields (
    id INT NOT NULL AUTO_INCREMENT,
    ext_record_id INT NULL,
    field_name VARCHAR(64) NULL,
    state INT NULL,
    PRIMARY KEY (id),
    KEY ext_records_fields_record (ext_record_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE ext_records_monitorings (
    id INT NOT NULL AUTO_INCREMENT,
    ext_record_id INT NULL,
    user_id INT NULL,
    PRIMARY KEY (id),
    KEY ext_records_monitorings_record (ext_record_id, user_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE ext_records_tasks (
    id INT NOT NULL AUTO_INCREMENT,
    ext_record_id INT NULL,
    title VARCHAR(255) NULL,
    done TINYINT NOT NULL DEFAULT 0,
    PRIMARY KEY (id),
    KEY ext_records_tasks_record (ext_record_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- The audit trail of the review data: one row per change a save makes, never changed or
-- removed afterwards. db/add_audit.sh adds this part, up to the review questions, to an older
-- database, and running it again changes nothing.
CREATE TABLE IF NOT EXISTS ext_records_audit (
    id BIGINT NOT NULL AUTO_INCREMENT,
    table_name VARCHAR(64) NOT NULL,
    table_id INT NOT NULL,
    field_name VARCHAR(64) NULL,
    -- The last five: a question asked, a message on it, its status changed, a row signed, a
    -- signature withdrawn.
    action ENUM('insert', 'update', 'delete', 'state', 'mark', 'question', 'answer', 'status',
                'sign', 'withdraw') NOT NULL,
    old_value LONGTEXT NULL,
    new_value LONGTEXT NULL,
    old_state INT NULL,
    new_state INT NULL,
    user_id INT NULL,
    -- UTC, taken by the server (UTC_TIMESTAMP(6)), so every workstation writes the same clock.
    changed_utc DATETIME(6) NOT NULL,
    PRIMARY KEY (id),
    KEY ext_records_audit_row (table_name, table_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- A trail that could be edited would prove nothing.
CREATE TRIGGER IF NOT EXISTS ext_records_audit_no_update BEFORE UPDATE ON ext_records_audit
    FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'the audit trail cannot be changed';

CREATE TRIGGER IF NOT EXISTS ext_records_audit_no_delete BEFORE DELETE ON ext_records_audit
    FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'the audit trail cannot be changed';

-- Review questions on single fields, their messages, and the signatures of rows: optional, like
-- the trail. db/add_review.sh adds this part, from here to the end, to an older database, and
-- running it again changes nothing. Rows are keyed by table name and row id, as the trail is
-- (an ext_records id changes at every save). Times are UTC, taken by the server.
CREATE TABLE IF NOT EXISTS ext_records_queries (
    id INT NOT NULL AUTO_INCREMENT,
    table_name VARCHAR(64) NOT NULL,
    table_id INT NOT NULL,
    field_name VARCHAR(64) NOT NULL,
    opened_by INT NULL,
    opened DATETIME NOT NULL,
    status ENUM('open', 'answered', 'closed') NOT NULL DEFAULT 'open',
    PRIMARY KEY (id),
    KEY ext_records_queries_row (table_name, table_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE IF NOT EXISTS ext_records_query_messages (
    id INT NOT NULL AUTO_INCREMENT,
    query_id INT NOT NULL,
    user_id INT NULL,
    time DATETIME NOT NULL,
    text TEXT NOT NULL,
    PRIMARY KEY (id),
    KEY ext_records_query_messages_query (query_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE IF NOT EXISTS ext_records_signatures (
    id INT NOT NULL AUTO_INCREMENT,
    table_name VARCHAR(64) NOT NULL,
    table_id INT NOT NULL,
    user_id INT NOT NULL,
    meaning VARCHAR(64) NOT NULL,
    signed DATETIME NOT NULL,
    withdrawn_by INT NULL,
    withdrawn DATETIME NULL,
    reason TEXT NULL,
    PRIMARY KEY (id),
    KEY ext_records_signatures_row (table_name, table_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

-- A trail made before the questions learns their actions.
ALTER TABLE IF EXISTS ext_records_audit MODIFY action ENUM('insert', 'update', 'delete', 'state',
    'mark', 'question', 'answer', 'status', 'sign', 'withdraw') NOT NULL;

-- A question's thread and a signature are records: a message is never changed or removed, a
-- question only changes its status, and a signature only gets its withdrawal, once.
CREATE TRIGGER IF NOT EXISTS ext_records_query_messages_no_update
    BEFORE UPDATE ON ext_records_query_messages
    FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'a message cannot be changed';

CREATE TRIGGER IF NOT EXISTS ext_records_query_messages_no_delete
    BEFORE DELETE ON ext_records_query_messages
    FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'a message cannot be changed';

CREATE TRIGGER IF NOT EXISTS ext_records_queries_no_delete BEFORE DELETE ON ext_records_queries
    FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'a question cannot be removed';

CREATE TRIGGER IF NOT EXISTS ext_records_signatures_no_delete
    BEFORE DELETE ON ext_records_signatures
    FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'a signature cannot be removed';

DELIMITER //
CREATE TRIGGER IF NOT EXISTS ext_records_queries_status_only
    BEFORE UPDATE ON ext_records_queries FOR EACH ROW
BEGIN
    IF NOT (NEW.id <=> OLD.id AND NEW.table_name <=> OLD.table_name AND
            NEW.table_id <=> OLD.table_id AND NEW.field_name <=> OLD.field_name AND
            NEW.opened_by <=> OLD.opened_by AND NEW.opened <=> OLD.opened) THEN
        SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'only the status of a question can change';
    END IF;
END//

CREATE TRIGGER IF NOT EXISTS ext_records_signatures_withdrawal_only
    BEFORE UPDATE ON ext_records_signatures FOR EACH ROW
BEGIN
    IF NOT (NEW.id <=> OLD.id AND NEW.table_name <=> OLD.table_name AND
            NEW.table_id <=> OLD.table_id AND NEW.user_id <=> OLD.user_id AND
            NEW.meaning <=> OLD.meaning AND NEW.signed <=> OLD.signed) OR
       OLD.withdrawn IS NOT NULL OR NEW.withdrawn IS NULL OR NEW.withdrawn_by IS NULL OR
       COALESCE(NEW.reason, '') = '' THEN
        SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'a signature can only be withdrawn, once';
    END IF;
END//
DELIMITER ;
