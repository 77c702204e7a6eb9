#!/usr/bin/env bash
# "cmake --install" into a scratch prefix puts every file of both components in place.
#   install_test.sh <build dir>
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/usr/local" >/dev/null

status=0
for f in sbin/zeltnvm bin/zeltsim bin/zeltpkg \
         share/man/man8/zeltnvm.8 share/man/man1/zeltsim.1 share/man/man1/zeltpkg.1 \
         share/bash-completion/completions/zeltnvm \
         share/doc/zeltnvm/json.md share/doc/zeltnvm/schema/envelope.json \
         etc/zeltnvm.conf etc/logrotate.d/zeltnvm; do
  if [ ! -f "$scratch/usr/local/$f" ]; then
    echo "missing: $f"
    status=1
  fi
done
for f in sbin/zeltnvm bin/zeltsim bin/zeltpkg; do
  [ -x "$scratch/usr/local/$f" ] || { echo "not executable: $f"; status=1; }
done
# Nothing may land outside the prefix.
if [ -n "$(find "$scratch" -mindepth 1 -maxdepth 1 ! -name usr)" ] ||
   [ -n "$(find "$scratch/usr" -mindepth 1 -maxdepth 1 ! -name local)" ]; then
  echo "files outside the prefix:"; find "$scratch" -maxdepth 2
  status=1
fi

# Only the tools component: the simulator and the package builder, nothing of the utility.
tools=$scratch/tools
cmake --install "$build" --prefix "$tools" --component tools >/dev/null
[ -x "$tools/bin/zeltsim" ] && [ -x "$tools/bin/zeltpkg" ] || { echo "tools component lacks its programs"; status=1; }
[ ! -e "$tools/sbin/zeltnvm" ] && [ ! -e "$tools/etc/zeltnvm.conf" ] || { echo "tools component holds the utility"; status=1; }
exit $status
