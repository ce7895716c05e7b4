#!/usr/bin/env bash
# Builds the application and starts it on the demo database: a private MariaDB whose data
# stays in var/demo between runs, and settings of its own in var/demo/config, so that the
# user's own settings are left alone. Log in with "login", then "Login" (user tavel).
# Arguments go to the application. Works under xvfb-run too.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/mariadb.sh"
source "$root/scripts/build.sh"

demo=$root/var/demo
database=stavimor
appdir=$root/build/src

# Sets KEY=VALUE pairs in one [GROUP] of a settings file and keeps whatever else the
# application wrote there.
settings_set()
{
    local file=$1 group=$2
    shift 2
    mkdir -p "$(dirname "$file")"
    touch "$file"
    awk -v group="[$group]" -v pairs="$(printf '%s\n' "$@")" '
        BEGIN {
            count = split(pairs, list, "\n")
            for (i = 1; i <= count; i++) {
                if (list[i] == "") continue
                key = substr(list[i], 1, index(list[i], "=") - 1)
                keys[++n] = key
                line[key] = list[i]
            }
        }
        function rest() {
            for (i = 1; i <= n; i++)
                if (!(keys[i] in written)) { print line[keys[i]]; written[keys[i]] = 1 }
        }
        /^\[.*\]$/ {
            if (inside) { rest(); print "" }
            inside = ($0 == group)
            seen = seen || inside
            blank = 0
        }
        inside && /^$/ { blank++; next }
        inside {
            key = substr($0, 1, index($0, "=") - 1)
            if (key in line) {
                if (!(key in written)) { print line[key]; written[key] = 1 }
                next
            }
        }
        { while (blank > 0) { print ""; blank-- } print }
        END {
            if (!seen) { if (NR > 0) print ""; print group }
            rest()
        }
    ' "$file" >"$file.new"
    mv "$file.new" "$file"
}

load_demo()
{
    echo "demo: loading the demo data into database $database" >&2
    mariadb_sql -e "CREATE DATABASE $database CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci"
    if ! mariadb_sql "$database" <"$root/db/schema.sql" ||
        ! mariadb_sql "$database" <"$root/db/demo/demo.sql"; then
        # Dropped, so that the next start loads it again instead of using half of it.
        mariadb_sql -e "DROP DATABASE $database" || true
        echo "demo: loading the demo data failed" >&2
        return 1
    fi
}

stavimor_deps
stavimor_build stavimor

mariadb_stop_on_exit
mariadb_start "$demo"
if [ -z "$(mariadb_sql -N -e "SHOW DATABASES LIKE '$database'")" ]; then
    load_demo
fi

# The application lists and opens its table schemas in its own directory.
cp "$root"/db/demo/schemas/*.xml "$appdir/"

export XDG_CONFIG_HOME=$demo/config
settings_set "$XDG_CONFIG_HOME/Brunvale/Stavimor.conf" database \
    driver=QMYSQL host=127.0.0.1 "port=$MARIADB_PORT" "databasename=$database" \
    "login=$MARIADB_USER" "password=$MARIADB_PASSWORD"
settings_set "$XDG_CONFIG_HOME/Brunvale/Stavimor.conf" login username=tavel

cd "$appdir"
status=0
mariadb_run_client ./stavimor "$@" || status=$?
mariadb_stop
exit "$status"
