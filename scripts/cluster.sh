#!/usr/bin/env bash
# Starts a three-node MariaDB Galera cluster on 127.0.0.1 (private data folders, free ports,
# every process stopped by pid at the end), waits until all nodes are synced and runs its
# arguments as a command with the nodes in STAVIMOR_DB_NODES=127.0.0.1:PORT,... (which
# scripts/test.sh and scripts/stress.sh use instead of starting a server of their own), then
# stops the cluster and exits with the command's status:
#
#   scripts/cluster.sh scripts/stress.sh -k 6
#   scripts/cluster.sh scripts/test.sh
#
# Without arguments it reports the nodes and waits until interrupted.
# STAVIMOR_CLUSTER_KILL=NODE:SECONDS kills that node (1 to 3) by SIGKILL that many seconds
# after the command started: the command runs on, against the two nodes left.
# STAVIMOR_CLUSTER_OPTIONS: further mariadbd options of every node (split at blanks).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/mariadb.sh"

NODES=3
PROVIDER=${STAVIMOR_GALERA_PROVIDER:-/usr/lib/galera/libgalera_smm.so}
SYNC_TIMEOUT=${STAVIMOR_CLUSTER_TIMEOUT:-180}

stavimor_deps "${STAVIMOR_CLUSTER_PACKAGES[@]}"

cluster_dir=
node_pids=()
node_ports=()
node_sockets=()
killer_pid=

cluster_cleanup()
{
    if [ -n "$killer_pid" ]; then
        kill "$killer_pid" 2>/dev/null || true
        wait "$killer_pid" 2>/dev/null || true
    fi
    mariadb_stop_all
    [ -z "$cluster_dir" ] || rm -rf "$cluster_dir"
}

# Distinct free ports, one per line.
free_ports()
{
    local -A taken=()
    local port count=0
    while ((count < $1)); do
        port=$(mariadb_free_port)
        [ -z "${taken[$port]:-}" ] || continue
        taken[$port]=1
        echo "$port"
        count=$((count + 1))
    done
}

# Group communication, incremental and full state transfer ports of each node.
declare -a gcomm_ports ist_ports sst_ports
pick_ports()
{
    local ports
    mapfile -t ports < <(free_ports $((3 * NODES)))
    local i
    for ((i = 0; i < NODES; i++)); do
        gcomm_ports[i]=${ports[3 * i]}
        ist_ports[i]=${ports[3 * i + 1]}
        sst_ports[i]=${ports[3 * i + 2]}
    done
}

start_node()
{
    local i=$1 members=() j address
    for ((j = 0; j < NODES; j++)); do
        members+=("127.0.0.1:${gcomm_ports[j]}")
    done
    address=gcomm://$(IFS=,; echo "${members[*]}")
    local first=()
    # The first node founds the cluster; the others join it and take its state by rsync.
    if [ "$i" -eq 0 ]; then
        first=(--wsrep-new-cluster)
    fi
    local provider_options="gmcast.listen_addr=tcp://127.0.0.1:${gcomm_ports[i]}"
    provider_options+=";ist.recv_addr=127.0.0.1:${ist_ports[i]};gcache.size=128M"
    local dir=$cluster_dir/node$((i + 1))
    mkdir -p "$dir"
    chown "$MARIADB_SERVER_USER" "$dir"
    mariadb_start "$dir" \
        --wsrep-on=ON --wsrep-provider="$PROVIDER" --wsrep-cluster-name=stavimor \
        --wsrep-cluster-address="$address" --wsrep-node-name="node$((i + 1))" \
        --wsrep-node-address="127.0.0.1:${gcomm_ports[i]}" \
        --wsrep-provider-options="$provider_options" \
        --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:${sst_ports[i]}" \
        --binlog-format=ROW --innodb-autoinc-lock-mode=2 --wsrep-slave-threads=2 \
        ${STAVIMOR_CLUSTER_OPTIONS:-} "${first[@]}" || return 1
    node_pids[i]=$MARIADB_PID
    node_ports[i]=$MARIADB_PORT
    node_sockets[i]=$MARIADB_SOCKET
    mariadb_keep
}

node_status()
{
    MARIADB_SOCKET=${node_sockets[$1]} mariadb_sql -N -B \
        -e "SHOW STATUS LIKE '$2'" 2>/dev/null | cut -f2
}

wait_synced()
{
    local deadline=$((SECONDS + SYNC_TIMEOUT)) i synced
    while ((SECONDS < deadline)); do
        synced=0
        for ((i = 0; i < NODES; i++)); do
            if [ "$(node_status "$i" wsrep_local_state_comment)" = Synced ] &&
                [ "$(node_status "$i" wsrep_cluster_size)" = "$NODES" ]; then
                synced=$((synced + 1))
            fi
        done
        [ "$synced" -eq "$NODES" ] && return 0
        sleep 0.5
    done
    for ((i = 0; i < NODES; i++)); do
        echo "cluster: node $((i + 1)): $(node_status "$i" wsrep_local_state_comment)," \
            "cluster size $(node_status "$i" wsrep_cluster_size)" >&2
    done
    echo "cluster: the nodes were not all synced within ${SYNC_TIMEOUT}s" >&2
    return 1
}

kill_node_later()
{
    local node=${1%%:*} delay=${1##*:}
    [[ $node =~ ^[1-9]$ ]] && ((node <= NODES)) && [[ $delay =~ ^[0-9]+$ ]] || {
        echo "cluster: STAVIMOR_CLUSTER_KILL wants NODE:SECONDS, not $1" >&2
        return 1
    }
    local pid=${node_pids[node - 1]}
    (
        sleep "$delay"
        echo "cluster: killing node $node (pid $pid)" >&2
        kill -KILL "$pid"
    ) &
    killer_pid=$!
}

# A state transfer runs an rsync daemon, which as root would write as nobody: root runs the
# nodes as the server's own account instead, in folders of that account.
if [ "$(id -u)" -eq 0 ]; then
    MARIADB_SERVER_USER=mysql
fi

mariadb_stop_on_exit cluster_cleanup
cluster_dir=$(mktemp -d "${TMPDIR:-/tmp}/stavimor-cluster.XXXXXX")
chmod 755 "$cluster_dir"
started=
for attempt in 1 2 3; do
    pick_ports
    started=1
    for ((i = 0; i < NODES; i++)); do
        start_node "$i" || { started=; break; }
    done
    [ -z "$started" ] || break
    echo "cluster: a node did not start, trying other ports" >&2
    mariadb_stop_all
    rm -rf "${cluster_dir:?}"/*
done
[ -n "$started" ] || { echo "cluster: the cluster did not start" >&2; exit 1; }
wait_synced

nodes=()
for ((i = 0; i < NODES; i++)); do
    nodes+=("127.0.0.1:${node_ports[i]}")
done
export STAVIMOR_DB_NODES
STAVIMOR_DB_NODES=$(IFS=,; echo "${nodes[*]}")
export STAVIMOR_DB_NODE_PIDS
STAVIMOR_DB_NODE_PIDS=$(IFS=,; echo "${node_pids[*]}")
echo "cluster: $NODES nodes synced: $STAVIMOR_DB_NODES (pids $STAVIMOR_DB_NODE_PIDS)" >&2

if [ $# -eq 0 ]; then
    echo "cluster: running until interrupted" >&2
    while :; do sleep 3600; done
fi
[ -z "${STAVIMOR_CLUSTER_KILL:-}" ] || kill_node_later "$STAVIMOR_CLUSTER_KILL"
status=0
mariadb_run_client "$@" || status=$?
cluster_cleanup
exit "$status"
