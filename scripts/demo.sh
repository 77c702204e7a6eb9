#!/usr/bin/env bash
# The main job on a simulated adapter host: builds the programs, creates the default
# simulated host, lists it, builds the example package, installs it on both adapters,
# resets both adapters (the newest one with the verified hot reset, the older one with
# the plain reset) and shows their new active versions.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
work=$(mktemp -d /tmp/zeltnvm-demo-XXXXXX)
host="$work/host"
echo "== simulated host: $host"
build/zeltsim create "$host"
build/zeltpkg example --version 229.0.1.0 "$work/example.pkg"
bin=$(pwd)/build
cd "$work"
run() { echo "\$ ZELTNVM_SIM=$host zeltnvm $*"; ZELTNVM_SIM="$host" "$bin/zeltnvm" "$@"; echo "(exit $?)"; }
set +e
run version
run listdev
run -y install example.pkg
run -dev=zen0 reset
run -dev=zen0 pkgver
run -dev=zen2 reset
run -dev=zen2 pkgver
