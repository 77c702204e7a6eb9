#!/usr/bin/env bash
# The main job on a simulated adapter host: builds the programs and runs the
# utility against a simulated host created in a temporary directory.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
host=$(mktemp -d /tmp/zeltnvm-demo-XXXXXX)
echo "== simulated host: $host"
run() { echo "\$ ZELTNVM_SIM=$host zeltnvm $*"; ZELTNVM_SIM="$host" build/zeltnvm "$@"; echo "(exit $?)"; }
set +e
run version
run listdev
