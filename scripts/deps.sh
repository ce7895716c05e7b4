#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need, and only those
# that are missing; when everything is there it costs one dpkg-query.
# Run it, or source it and call stavimor_deps [PACKAGE...] (further packages a script needs,
# such as valgrind for memcheck.sh).

STAVIMOR_PACKAGES=(
    qt6-base-dev qt6-base-dev-tools libqt6sql6-mysql libqt6sql6-sqlite libgl-dev
    cmake g++ make python3
    mariadb-server mariadb-client
    oxygen-icon-theme
    xvfb xauth imagemagick poppler-utils fonts-dejavu-core
)
# scripts/cluster.sh: Galera and what its state transfer (rsync) runs.
STAVIMOR_CLUSTER_PACKAGES=(galera-4 rsync iproute2)

stavimor_deps()
{
    local -A installed=()
    local status name package
    local missing=()
    local wanted=("${STAVIMOR_PACKAGES[@]}" "$@")
    while read -r status name; do
        [ "$status" = ii ] && installed[$name]=1
    done < <(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${wanted[@]}" \
                 2>/dev/null || true)
    for package in "${wanted[@]}"; do
        [ -n "${installed[$package]:-}" ] || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "deps: installing ${missing[*]}" >&2
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    stavimor_deps
fi
