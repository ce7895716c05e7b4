#!/usr/bin/env bash
# Builds everything into build/ (Debug) and runs the tests against a throwaway private
# MariaDB. Arguments go to ctest: scripts/test.sh -R tst_extmodel runs one test.
# With STAVIMOR_DB_NODES set (host:port,... as scripts/cluster.sh sets it), the tests use
# node STAVIMOR_TEST_DB_NODE of them (default 1); with STAVIMOR_TEST_DB_HOST set, that server
# (and the other STAVIMOR_TEST_DB_* variables); otherwise a server of their own. Without
# arguments the data layer's tests run a second time on db/schema_minimal.sql.
# STAVIMOR_SANITIZE=1 builds into build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the tests there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/mariadb.sh"
source "$root/scripts/build.sh"

stavimor_deps
stavimor_build

# Tests read what the server received from its general log, which every test run fills:
# an indexed MyISAM table keeps those reads quick however long the log grows. In a cluster
# each node logs only what it received (the rows are not replicated), while this change of the
# table is replicated to every node: it is made once, when the table is not MyISAM yet.
index_general_log()
{
    "$@" -e "SET GLOBAL general_log=0;
             ALTER TABLE mysql.general_log ENGINE=MyISAM;
             ALTER TABLE mysql.general_log ADD INDEX by_time (event_time);"
}

if [ -n "${STAVIMOR_DB_NODES:-}" ]; then
    IFS=, read -r -a nodes <<<"$STAVIMOR_DB_NODES"
    node=${nodes[${STAVIMOR_TEST_DB_NODE:-1} - 1]:-}
    if [ -z "$node" ]; then
        echo "test: no node ${STAVIMOR_TEST_DB_NODE:-1} in $STAVIMOR_DB_NODES" >&2
        exit 2
    fi
    export STAVIMOR_TEST_DB_HOST=${node%:*}
    export STAVIMOR_TEST_DB_PORT=${node##*:}
    export STAVIMOR_TEST_DB_USER=$MARIADB_USER
    export STAVIMOR_TEST_DB_PASSWORD=$MARIADB_PASSWORD
    client=(mariadb --no-defaults --protocol=tcp -h "$STAVIMOR_TEST_DB_HOST"
        -P "$STAVIMOR_TEST_DB_PORT" -u"$MARIADB_USER" -p"$MARIADB_PASSWORD")
    engine=$("${client[@]}" -N -e "SELECT ENGINE FROM information_schema.TABLES
                                     WHERE TABLE_SCHEMA='mysql' AND TABLE_NAME='general_log'")
    [ "$engine" = MyISAM ] || index_general_log "${client[@]}"
elif [ -z "${STAVIMOR_TEST_DB_HOST:-}" ]; then
    mariadb_stop_on_exit
    mariadb_start_temp
    index_general_log mariadb_sql
    export STAVIMOR_TEST_DB_HOST=127.0.0.1
    export STAVIMOR_TEST_DB_PORT=$MARIADB_PORT
    export STAVIMOR_TEST_DB_USER=$MARIADB_USER
    export STAVIMOR_TEST_DB_PASSWORD=$MARIADB_PASSWORD
fi

status=0
mariadb_run_client ctest --test-dir "$(stavimor_build_dir)" --output-on-failure -j2 "$@" ||
    status=$?
# The tests of the data layer again, on a database laid out with only the columns the program
# uses: no ids on the metadata tables and no AUTO_INCREMENT, as a group's own database may be.
if [ $# -eq 0 ]; then
    echo "The data layer's tests on db/schema_minimal.sql:"
    mariadb_run_client env STAVIMOR_TEST_SCHEMA=schema_minimal.sql ctest \
        --test-dir "$(stavimor_build_dir)" --output-on-failure -j2 \
        -R '^(tst_extmodel|tst_extrecordstore|tst_exttableeditor|tst_audittrail|tst_concurrentsave|tst_admin|tst_contacts|tst_query|tst_centralwidget|tst_signatures|stress_short)$' ||
        status=$?
fi
mariadb_stop
exit "$status"
