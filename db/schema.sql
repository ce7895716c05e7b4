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
-- removed afterwards. db/add_audit.sh adds this part, from here to the end, to an older
-- database, and running it again changes nothing.
CREATE TABLE IF NOT EXISTS ext_records_audit (
    id BIGINT NOT NULL AUTO_INCREMENT,
    table_name VARCHAR(64) NOT NULL,
    table_id INT NOT NULL,
    field_name VARCHAR(64) NULL,
    action ENUM('insert', 'update', 'delete', 'state', 'mark') NOT NULL,
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
