#!/usr/bin/env bash
# Builds everything into build/ (Debug) and runs the tests against a throwaway private
# MariaDB. Arguments go to ctest: scripts/test.sh -R tst_sqlhelper runs one test.
# With STAVIMOR_TEST_DB_HOST set, the tests use that server (and the other
# STAVIMOR_TEST_DB_* variables) instead of starting one. STAVIMOR_SANITIZE=1 builds into
# build-asan/ with AddressSanitizer and UndefinedBehaviorSanitizer and runs the tests there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/mariadb.sh"
source "$root/scripts/build.sh"

stavimor_deps
stavimor_build

if [ -z "${STAVIMOR_TEST_DB_HOST:-}" ]; then
    mariadb_stop_on_exit
    mariadb_start_temp
    # Tests read what the server received from its general log, which every test run fills:
    # an indexed MyISAM table keeps those reads quick however long the log grows.
    mariadb_sql -e "SET GLOBAL general_log=0;
                    ALTER TABLE mysql.general_log ENGINE=MyISAM;
                    ALTER TABLE mysql.general_log ADD INDEX by_time (event_time);"
    export STAVIMOR_TEST_DB_HOST=127.0.0.1
    export STAVIMOR_TEST_DB_PORT=$MARIADB_PORT
    export STAVIMOR_TEST_DB_USER=$MARIADB_USER
    export STAVIMOR_TEST_DB_PASSWORD=$MARIADB_PASSWORD
fi

status=0
mariadb_run_client ctest --test-dir "$(stavimor_build_dir)" --output-on-failure -j2 "$@" ||
    status=$?
mariadb_stop
exit "$status"
