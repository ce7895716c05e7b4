#!/usr/bin/env bash
# Takes a picture of every window and dialog of the application on the demo data, under
# xvfb-run, into a folder (default var/screenshots) whose path it prints last.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$root/scripts/deps.sh"
source "$root/scripts/build.sh"

out=$(mkdir -p "${1:-$root/var/screenshots}" && cd "${1:-$root/var/screenshots}" && pwd)
rm -f "$out"/*.png
stavimor_deps
stavimor_build stavimor-screenshots stavimor_samplemodule

# The tool looks for schemas and modules beside itself, as the application does.
tool=$root/build/tools/screenshots
cp "$root"/db/demo/schemas/*.xml "$tool/"
ln -sfn "$root/build/src/modules" "$tool/modules"

STAVIMOR_DEMO_TARGETS=stavimor-screenshots STAVIMOR_DEMO_CLIENT=$tool/stavimor-screenshots \
    xvfb-run -a -s "-screen 0 ${STAVIMOR_SCREEN:-1400x900}x24" "$root/scripts/demo.sh" "$out"
echo "$out"
