#!/usr/bin/env bash
# Builds the application and starts it on the demo database: a private MariaDB whose data
# stays in var/demo between runs, and settings of its own in var/demo/config, so that the
# user's own settings are left alone. Log in with "login", then "Login" (user tavel).
# A small web server on 127.0.0.1 plays the organisation's update and module server:
# "Update..." finds a newer release, and the module catalogue offers the sample module.
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

www=$demo/www
WWW_PID=

# Writes the update descriptor, a release page and the module catalogue for a server on port,
# beside a copy of the sample module.
write_www()
{
    local base=http://127.0.0.1:$1
    mkdir -p "$www"
    cp "$appdir/modules/libstavimor_samplemodule.so" "$www/"
    cat >"$www/update.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<releases>
  <release version="0.6" title="Stavimor">
    <path>$base/release-0.6.html</path>
  </release>
</releases>
XML
    cat >"$www/release-0.6.html" <<HTML
<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Stavimor 0.6</title></head>
<body><h1>Stavimor 0.6</h1><p>The demo's stand-in for a release page.</p></body></html>
HTML
    cat >"$www/modules.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<modules>
  <module title="Table overview" version="1.25">
    <path>$base/libstavimor_samplemodule.so</path>
    <comment>Lists the tables of the database with their row counts</comment>
  </module>
</modules>
XML
}

# The demo data point at port 8765; another port is written into infos when that one is taken.
start_www()
{
    local port=8765
    if timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null; then
        port=$(mariadb_free_port)
    fi
    write_www "$port"
    python3 -m http.server --bind 127.0.0.1 --directory "$www" "$port" >"$demo/www.log" 2>&1 &
    WWW_PID=$!
    local attempt
    for attempt in $(seq 1 50); do
        timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null && break
        sleep 0.1
    done
    mariadb_sql "$database" -e "UPDATE infos SET
        module_update_url = 'http://127.0.0.1:$port/modules.xml',
        app_update_url = 'http://127.0.0.1:$port/update.xml'"
}

stop_www()
{
    if [ -n "$WWW_PID" ]; then
        kill "$WWW_PID" 2>/dev/null || true
        wait "$WWW_PID" 2>/dev/null || true
        WWW_PID=
    fi
}

stavimor_deps
# STAVIMOR_DEMO_CLIENT runs another client of the demo in place of the application (built
# through STAVIMOR_DEMO_TARGETS), with the same arguments.
stavimor_build stavimor stavimor_samplemodule ${STAVIMOR_DEMO_TARGETS:-}

mariadb_stop_on_exit stop_www
mariadb_start "$demo"
if [ -z "$(mariadb_sql -N -e "SHOW DATABASES LIKE '$database'")" ]; then
    load_demo
fi
start_www

# The application lists and opens its table schemas in its own directory.
cp "$root"/db/demo/schemas/*.xml "$appdir/"

export XDG_CONFIG_HOME=$demo/config
settings_set "$XDG_CONFIG_HOME/Brunvale/Stavimor.conf" database \
    driver=QMYSQL host=127.0.0.1 "port=$MARIADB_PORT" "databasename=$database" \
    "login=$MARIADB_USER" "password=$MARIADB_PASSWORD"
settings_set "$XDG_CONFIG_HOME/Brunvale/Stavimor.conf" login username=tavel

cd "$appdir"
status=0
mariadb_run_client "${STAVIMOR_DEMO_CLIENT:-./stavimor}" "$@" || status=$?
stop_www
mariadb_stop
exit "$status"
