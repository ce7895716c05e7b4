-- The shared database with only the columns the program reads and writes: no id of their own
-- on the metadata tables and no AUTO_INCREMENT anywhere, as a working group's own database
-- may be laid out. The tests run on this layout as well as on schema.sql; the program
-- creates nothing from it. Indexes are kept, as any database of some size has them.

CREATE TABLE users (
    id INT NOT NULL,
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
    id INT NOT NULL,
    name VARCHAR(128) NOT NULL,
    PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE groups_users (
    id INT NOT NULL,
    group_id INT NULL,
    user_id INT NULL,
    PRIMARY KEY (id),
    KEY groups_users_user (user_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE contacts (
    id INT NOT NULL,
    user_id INT NULL,
    contact_user_id INT NULL,
    PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE querys (
    id INT NOT NULL,
    name VARCHAR(255) NULL,
    query TEXT NULL,
    group_id INT NULL,
    PRIMARY KEY (id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE infos (
    module_update_url VARCHAR(1024) NULL,
    app_update_url VARCHAR(1024) NULL,
    version VARCHAR(64) NULL
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE ext_records (
    id INT NOT NULL,
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
    ext_record_id INT NULL,
    field_name VARCHAR(64) NULL,
    state INT NULL,
    KEY ext_records_fields_record (ext_record_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE ext_records_monitorings (
    ext_record_id INT NULL,
    user_id INT NULL,
    KEY ext_records_monitorings_record (ext_record_id, user_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;

CREATE TABLE ext_records_tasks (
    ext_record_id INT NULL,
    KEY ext_records_tasks_record (ext_record_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
