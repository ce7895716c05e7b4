#!/usr/bin/env bash
# Builds the benchmark in Release into build-release/ and runs it against a throwaway private
# MariaDB. Arguments go to stavimor-bench (--runs, --rows, --sizes). Exits non-zero when a
# figure could not be taken.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/mariadb.sh"
source "$root/scripts/build.sh"

stavimor_deps
stavimor_release_build stavimor-bench
build=$(stavimor_release_dir)

mariadb_stop_on_exit
# A buffer pool that holds the data, so the figures measure the program and not the disk.
mariadb_start_temp --innodb-buffer-pool-size=512M

status=0
mariadb_run_client env QT_QPA_PLATFORM=offscreen "$build/bench/stavimor-bench" \
    --host 127.0.0.1 --port "$MARIADB_PORT" --user "$MARIADB_USER" \
    --password "$MARIADB_PASSWORD" "$@" || status=$?
mariadb_stop
exit "$status"
