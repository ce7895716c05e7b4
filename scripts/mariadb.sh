# Shell functions for a private MariaDB server: never a system service, only on 127.0.0.1
# with a free port, its data, socket and pid file in one folder, and stopped by pid however
# the calling script ends. Source this file; it changes no options of the caller's shell.
#
#   mariadb_stop_on_exit [FUNCTION]  stop clients and server at exit, INT, TERM and HUP
#                                    (FUNCTION, if given, runs first)
#   mariadb_start DIR [OPTION...]    data in DIR/data (kept), extra mariadbd options
#   mariadb_start_temp [OPTION...]   the same in a temporary folder, removed when stopped
#   mariadb_sql [ARG...]             the mariadb client as administrator, over the socket
#   mariadb_run_client CMD [ARG...]  run a client of the server; its status is returned
#   mariadb_stop
#   mariadb_keep                     set the running server aside, so that another one can be
#                                    started; it is stopped with the others at exit
#   mariadb_stop_all                 the current server and every one set aside
#   mariadb_stop_pid PID             a server by pid: TERM, and KILL when it does not end
#
# After a start: MARIADB_DIR, MARIADB_PORT, MARIADB_PID, MARIADB_SOCKET, and MARIADB_FRESH=1
# when the data folder was created by this start. Clients connect over TCP to 127.0.0.1 as
# MARIADB_USER / MARIADB_PASSWORD, an account with every privilege (tests create databases
# and switch the general query log on).

MARIADB_USER=${MARIADB_USER:-stavimor}
MARIADB_PASSWORD=${MARIADB_PASSWORD:-stavimor}
MARIADB_START_TIMEOUT=${MARIADB_START_TIMEOUT:-60}
MARIADB_DIR=
MARIADB_PORT=
MARIADB_PID=
MARIADB_SOCKET=
MARIADB_FRESH=
MARIADB_TEMP_DIR=
MARIADB_CLIENT_PID=
MARIADB_EXIT_HOOK=
MARIADB_KEPT_PIDS=()
MARIADB_KEPT_TEMP_DIRS=()

# The server's administrator is the operating system user, through the unix socket.
MARIADB_ADMIN=$(id -un)
# The account the server runs as; the data folder must then be that account's.
MARIADB_SERVER_USER=${MARIADB_SERVER_USER:-$MARIADB_ADMIN}

mariadb_fail()
{
    echo "mariadb: $*" >&2
    return 1
}

# A port below Linux's ephemeral range that nothing listens on. Another program may still
# take it before the server binds it; mariadb_start then tries another one.
mariadb_free_port()
{
    local port attempt
    for attempt in $(seq 1 100); do
        port=$((20000 + RANDOM % 12000))
        if ! timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    mariadb_fail "no free port found on 127.0.0.1"
}

mariadb_sql()
{
    mariadb --no-defaults --protocol=socket --socket="$MARIADB_SOCKET" -u"$MARIADB_ADMIN" \
        --default-character-set=utf8mb4 "$@"
}

mariadb_install()
{
    local data=$MARIADB_DIR/data
    [ -d "$data" ] && return 0
    # Installed beside and renamed, so that an interrupted install never passes for a
    # data folder on the next start.
    rm -rf "$data.new"
    if ! mariadb-install-db --no-defaults --datadir="$data.new" --user="$MARIADB_SERVER_USER" \
        --auth-root-authentication-method=socket --auth-root-socket-user="$MARIADB_ADMIN" \
        --skip-test-db --skip-name-resolve >"$MARIADB_DIR/install.log" 2>&1; then
        tail -n 20 "$MARIADB_DIR/install.log" >&2
        mariadb_fail "mariadb-install-db failed in $data.new (log: $MARIADB_DIR/install.log)"
        return 1
    fi
    mv "$data.new" "$data"
    MARIADB_FRESH=1
}

# Waits until the server answers on its socket. Returns 2 when it died because its port
# was taken, 1 on any other failure.
mariadb_wait()
{
    local log=$1 from=$2
    local deadline=$((SECONDS + MARIADB_START_TIMEOUT))
    while ((SECONDS < deadline)); do
        if ! kill -0 "$MARIADB_PID" 2>/dev/null; then
            wait "$MARIADB_PID" 2>/dev/null || true
            MARIADB_PID=
            if tail -n +"$from" "$log" | grep -q -e "Bind on TCP/IP port" -e "Address already in use"
            then
                return 2
            fi
            tail -n +"$from" "$log" | tail -n 30 >&2
            mariadb_fail "the server exited during start (log: $log)"
            return 1
        fi
        if mariadb-admin --no-defaults --protocol=socket --socket="$MARIADB_SOCKET" \
            -u"$MARIADB_ADMIN" --connect-timeout=2 ping >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.2
    done
    tail -n +"$from" "$log" | tail -n 30 >&2
    mariadb_fail "the server did not answer within ${MARIADB_START_TIMEOUT}s (log: $log)"
    return 1
}

mariadb_create_account()
{
    local host
    for host in 127.0.0.1 localhost; do
        mariadb_sql -e "CREATE USER IF NOT EXISTS '$MARIADB_USER'@'$host'
                            IDENTIFIED BY '$MARIADB_PASSWORD';
                        GRANT ALL PRIVILEGES ON *.* TO '$MARIADB_USER'@'$host'
                            WITH GRANT OPTION;" || return 1
    done
    mariadb --no-defaults --protocol=tcp -h 127.0.0.1 -P "$MARIADB_PORT" -u"$MARIADB_USER" \
        -p"$MARIADB_PASSWORD" -e "SELECT 1" >/dev/null ||
        mariadb_fail "account $MARIADB_USER cannot connect over TCP to 127.0.0.1:$MARIADB_PORT"
}

mariadb_start()
{
    local dir=$1
    shift
    [ -z "$MARIADB_PID" ] || mariadb_fail "a server is already running (pid $MARIADB_PID)" ||
        return 1
    mkdir -p "$dir" || return 1
    MARIADB_DIR=$(cd "$dir" && pwd)
    MARIADB_SOCKET=$MARIADB_DIR/mysqld.sock
    # A unix socket path is limited to 107 bytes.
    if [ ${#MARIADB_SOCKET} -gt 100 ]; then
        MARIADB_TEMP_DIR=${MARIADB_TEMP_DIR:-$(mktemp -d "${TMPDIR:-/tmp}/stavimor-db.XXXXXX")}
        MARIADB_SOCKET=$MARIADB_TEMP_DIR/mysqld.sock
    fi
    mariadb_install || return 1

    local log=$MARIADB_DIR/error.log attempt from status
    for attempt in 1 2 3 4 5; do
        MARIADB_PORT=$(mariadb_free_port) || return 1
        touch "$log"
        from=$(($(wc -l <"$log") + 1))
        rm -f "$MARIADB_SOCKET"
        mariadbd --no-defaults --user="$MARIADB_SERVER_USER" --datadir="$MARIADB_DIR/data" \
            --bind-address=127.0.0.1 --port="$MARIADB_PORT" --socket="$MARIADB_SOCKET" \
            --pid-file="$MARIADB_DIR/mysqld.pid" --skip-name-resolve "$@" \
            </dev/null >>"$log" 2>&1 &
        MARIADB_PID=$!
        status=0
        mariadb_wait "$log" "$from" || status=$?
        case $status in
        0) break ;;
        2) echo "mariadb: port $MARIADB_PORT was taken, trying another" >&2 ;;
        *) mariadb_stop; return 1 ;;
        esac
    done
    [ "$status" -eq 0 ] || mariadb_fail "no port could be bound" || return 1
    mariadb_create_account || { mariadb_stop; return 1; }
    echo "mariadb: server $MARIADB_PID on 127.0.0.1:$MARIADB_PORT, data in $MARIADB_DIR" >&2
}

mariadb_start_temp()
{
    MARIADB_TEMP_DIR=$(mktemp -d "${TMPDIR:-/tmp}/stavimor-db.XXXXXX") || return 1
    mariadb_start "$MARIADB_TEMP_DIR" "$@"
}

# Stops a process group: TERM, then KILL after a while.
mariadb_end_group()
{
    local pid=$1 tries
    kill -TERM -- "-$pid" 2>/dev/null || return 0
    for tries in $(seq 1 100); do
        kill -0 -- "-$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# The client runs in a session of its own, so that an interrupt of the calling script ends
# it, and everything it started, right away and before the server.
mariadb_run_client()
{
    local status=0
    setsid "$@" &
    MARIADB_CLIENT_PID=$!
    wait "$MARIADB_CLIENT_PID" || status=$?
    MARIADB_CLIENT_PID=
    return "$status"
}

mariadb_stop_pid()
{
    local pid=$1 tries
    if kill -TERM "$pid" 2>/dev/null; then
        for tries in $(seq 1 300); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -KILL "$pid" 2>/dev/null; then
            echo "mariadb: server $pid did not stop in time and was killed" >&2
        fi
    fi
    wait "$pid" 2>/dev/null || true
}

mariadb_stop()
{
    if [ -n "$MARIADB_PID" ]; then
        local pid=$MARIADB_PID
        MARIADB_PID=
        mariadb_stop_pid "$pid"
    fi
    if [ -n "$MARIADB_TEMP_DIR" ]; then
        rm -rf "$MARIADB_TEMP_DIR"
        MARIADB_TEMP_DIR=
    fi
}

mariadb_keep()
{
    MARIADB_KEPT_PIDS+=("$MARIADB_PID")
    MARIADB_KEPT_TEMP_DIRS+=("$MARIADB_TEMP_DIR")
    MARIADB_PID=
    MARIADB_TEMP_DIR=
}

# The last one set aside first: in a cluster the first node stops last.
mariadb_stop_all()
{
    mariadb_stop
    local i
    for ((i = ${#MARIADB_KEPT_PIDS[@]} - 1; i >= 0; i--)); do
        [ -z "${MARIADB_KEPT_PIDS[i]}" ] || mariadb_stop_pid "${MARIADB_KEPT_PIDS[i]}"
        [ -z "${MARIADB_KEPT_TEMP_DIRS[i]}" ] || rm -rf "${MARIADB_KEPT_TEMP_DIRS[i]}"
    done
    MARIADB_KEPT_PIDS=()
    MARIADB_KEPT_TEMP_DIRS=()
}

mariadb_at_exit()
{
    trap - INT TERM HUP
    if [ -n "$MARIADB_CLIENT_PID" ]; then
        mariadb_end_group "$MARIADB_CLIENT_PID"
        MARIADB_CLIENT_PID=
    fi
    [ -z "$MARIADB_EXIT_HOOK" ] || "$MARIADB_EXIT_HOOK" || true
    mariadb_stop_all
}

mariadb_stop_on_exit()
{
    MARIADB_EXIT_HOOK=${1:-}
    trap mariadb_at_exit EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
}
