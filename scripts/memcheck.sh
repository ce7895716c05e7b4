#!/usr/bin/env bash
# Runs the record model tests under valgrind's memcheck against a throwaway private MariaDB.
# Fails when memcheck reports an error: an invalid read or write, a use of uninitialised
# memory, or a definite leak outside the suppressions in tests/valgrind.supp.
# Arguments replace the list of tests: scripts/memcheck.sh tst_extmodel
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/mariadb.sh"
source "$root/scripts/build.sh"

tests=("$@")
[ ${#tests[@]} -gt 0 ] ||
    tests=(tst_extmodel tst_extrecordstore tst_extrecordmodel tst_extxmlmodel)

stavimor_deps valgrind
stavimor_build "${tests[@]}"

if [ -z "${STAVIMOR_TEST_DB_HOST:-}" ]; then
    mariadb_stop_on_exit
    mariadb_start_temp
    export STAVIMOR_TEST_DB_HOST=127.0.0.1
    export STAVIMOR_TEST_DB_PORT=$MARIADB_PORT
    export STAVIMOR_TEST_DB_USER=$MARIADB_USER
    export STAVIMOR_TEST_DB_PASSWORD=$MARIADB_PASSWORD
fi
export QT_QPA_PLATFORM=offscreen

failed=()
for test in "${tests[@]}"; do
    log=$root/build/tests/$test.memcheck.log
    echo "memcheck: $test (log: $log)" >&2
    if ! mariadb_run_client valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite --show-leak-kinds=definite --num-callers=30 \
        --suppressions="$root/tests/valgrind.supp" --log-file="$log" \
        "$root/build/tests/$test" -platform offscreen; then
        failed+=("$test")
        grep -E "ERROR SUMMARY|definitely lost" "$log" >&2 || true
    fi
done
mariadb_stop
if [ ${#failed[@]} -gt 0 ]; then
    echo "memcheck: errors in ${failed[*]}" >&2
    exit 1
fi
echo "memcheck: no errors in ${tests[*]}" >&2
