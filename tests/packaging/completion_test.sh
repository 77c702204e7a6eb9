#!/usr/bin/env bash
# The bash completion completes command words, options and -dev= values, the latter
# from "zeltnvm listdev -json" on a simulated host and from /sys/class/net when the
# program lists nothing.
#   completion_test.sh <completion script> <build dir>
set -uo pipefail
script=$1
build=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 700 "$scratch"
"$build/zeltsim" create "$scratch/host" >/dev/null || { echo "zeltsim create failed"; exit 1; }

# shellcheck source=/dev/null
source "$script"
status=0

# Completes <line> (cursor at its end) as bash would, splitting COMP_WORDS at the
# word-break characters the way readline does.
complete_line() {
  COMP_LINE=$1
  COMP_POINT=${#1}
  local words
  read -ra words <<<"$1"
  [[ $1 == *" " ]] && words+=("")
  COMP_WORDS=("${words[@]}")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _zeltnvm
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

check() {  # <line> <expected answers, sorted, blank separated>
  local got
  got=$(complete_line "$1")
  if [ "$got" != "$2" ]; then
    echo "'$1': expected '$2', got '$got'"
    status=1
  fi
}

PATH=$build:$PATH
export ZELTNVM_SIM=$scratch/host
cases=(
  "zeltnvm ins|install"
  "zeltnvm -dev=zen0 ver|verify version"
  "zeltnvm get_|get_ptp_extended get_sync_ethernet get_txfir"
  "zeltnvm -no|-noidcheck -noverify"
  "zeltnvm -t|-tab -tot -type="
  "zeltnvm -dev=zen0 list -so|-sort -sort="
  "zeltnvm -j|-json"
  "zeltnvm -pl|-plan"
  "zeltnvm -dev=|0000:03:00.0 0000:13:00.0 zen0 zen2"
  "zeltnvm -dev=zen|zen0 zen2"
  "zeltnvm -dev=0000:1|13:00.0"
  "zeltnvm -dev=nothing|"
  "zeltnvm -type=a|all"
)
for c in "${cases[@]}"; do check "${c%%|*}" "${c#*|}"; done

# After the command word the parameters are files.
touch "$scratch/update.pkg"
check "zeltnvm -dev=zen0 install $scratch/upd" "$scratch/update.pkg"

# A program that lists nothing (no privileges, here: a failing stand-in) leaves the
# network interfaces.
mkdir "$scratch/bin"
printf '#!/bin/sh\necho "Error: Operation not permitted" >&2\nexit 3\n' >"$scratch/bin/zeltnvm"
chmod +x "$scratch/bin/zeltnvm"
PATH=$scratch/bin:$PATH
expected=$(for d in /sys/class/net/*; do [ -e "$d" ] && [ "${d##*/}" != lo ] && echo "${d##*/}"; done | sort | tr '\n' ' ' | sed 's/ $//')
out=$(complete_line "zeltnvm -dev=" 2>&1)
[ "$out" = "$expected" ] || { echo "fallback to /sys/class/net: expected '$expected', got '$out'"; status=1; }
exit $status
