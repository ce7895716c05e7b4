#!/usr/bin/env bash
# Builds the stress tool in Release into build-release/ and runs it against a throwaway private
# MariaDB, or, with STAVIMOR_DB_NODES set (host:port,host:port,... as scripts/cluster.sh sets
# it), against those servers with its workers spread over them. Arguments go to
# stavimor-stress: scripts/stress.sh -k 16 -m 200. The last line is "violations N"; the status
# is non-zero when there are violations or the run failed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/mariadb.sh"
source "$root/scripts/build.sh"

stavimor_deps
stavimor_release_build stavimor-stress
build=$(stavimor_release_dir)
tool=$build/tools/stress/stavimor-stress

mariadb_stop_on_exit
if [ -n "${STAVIMOR_DB_NODES:-}" ]; then
    server=(--nodes "$STAVIMOR_DB_NODES")
else
    mariadb_start_temp
    server=(--host 127.0.0.1 --port "$MARIADB_PORT")
fi

status=0
mariadb_run_client "$tool" "${server[@]}" --user "$MARIADB_USER" --password "$MARIADB_PASSWORD" \
    "$@" || status=$?
mariadb_stop
exit "$status"
