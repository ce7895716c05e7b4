-- Adds the audit trail to an existing database: mariadb <database> < db/add_audit.sql
-- The same table and triggers as in schema.sql; running it again changes nothing.
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
