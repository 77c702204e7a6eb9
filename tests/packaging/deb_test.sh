#!/usr/bin/env bash
# The Debian packages build from a built tree, list every file, and keep the
# configuration file and the logrotate snippet as conffiles.
#   deb_test.sh <source dir> <build dir>
set -euo pipefail
src=$1
build=$2
if ! command -v dpkg-deb >/dev/null; then
  echo "SKIPPED: dpkg-deb is not installed (it comes with dpkg on Debian)"
  exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$src/scripts/package.sh" "$out" "$build" >/dev/null

status=0
expect() {  # <package file> <path>...
  local deb=$1 contents
  shift
  contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
  # Everything lives under /usr, the configuration under /etc; nothing of the build tree.
  local stray
  stray=$(grep -v -e '^\./$' -e '^\./usr/' -e '^\./etc/' <<<"$contents" || true)
  [ -z "$stray" ] || { echo "$(basename "$deb") holds paths outside /usr and /etc:"; echo "$stray"; status=1; }
  for p in "$@"; do
    grep -qx "\.$p" <<<"$contents" || { echo "$(basename "$deb") lacks $p"; status=1; }
  done
}
main=$(ls "$out"/zeltnvm_*.deb)
tools=$(ls "$out"/zeltnvm-tools_*.deb)
expect "$main" /usr/sbin/zeltnvm /usr/share/man/man8/zeltnvm.8 /usr/share/bash-completion/completions/zeltnvm \
       /usr/share/doc/zeltnvm/json.md /etc/zeltnvm.conf /etc/logrotate.d/zeltnvm
expect "$tools" /usr/bin/zeltsim /usr/bin/zeltpkg /usr/share/man/man1/zeltsim.1 /usr/share/man/man1/zeltpkg.1

conffiles=$(dpkg-deb --info "$main" conffiles)
for c in /etc/zeltnvm.conf /etc/logrotate.d/zeltnvm; do
  grep -qx "$c" <<<"$conffiles" || { echo "not a conffile: $c"; status=1; }
done
[ "$(dpkg-deb --field "$main" Package)" = zeltnvm ] || { echo "wrong package name"; status=1; }
exit $status
