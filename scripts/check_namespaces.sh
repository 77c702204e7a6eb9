#!/usr/bin/env bash
# Checks that every header under src/ declares into a `zelt` namespace: once comments,
# preprocessor lines and literals are set aside, nothing may stand outside a
# `namespace zelt { ... }` (or `namespace zelt::<sub> { ... }`) block. Headers still
# outside are listed in scripts/namespace_allowlist.txt; the check fails for any other
# offender, and for an allowlisted header that no longer offends (so the list only
# shrinks).
#
# Usage: scripts/check_namespaces.sh [-a ALLOWLIST] [HEADER...]
#   Without headers, every *.h under src/ (paths relative to the source root).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
allowlist="$root/scripts/namespace_allowlist.txt"
if [ "${1:-}" = "-a" ]; then
  allowlist=$2
  shift 2
fi
cd "$root"
if [ $# -gt 0 ]; then
  headers=("$@")
else
  mapfile -t headers < <(find src -name '*.h' | LC_ALL=C sort)
fi

# Prints the first line of a header that stands outside a zelt namespace, or nothing.
first_outside() {
  awk '
    { text = text $0 "\n" }
    END {
      n = length(text); line = 1; depth = 0; zdepth = -1; bol = 1; word = ""; pending = ""
      for (i = 1; i <= n; i++) {
        c = substr(text, i, 1)
        if (c == "\n") { line++; bol = 1; continue }
        if (bol && (c == " " || c == "\t")) continue
        if (bol && c == "#") {                      # preprocessor line, with continuations
          while (i <= n) {
            c = substr(text, i, 1)
            if (c == "\n") { if (substr(text, i - 1, 1) != "\\") break; line++ }
            i++
          }
          line++; continue
        }
        bol = 0
        two = substr(text, i, 2)
        if (two == "//") { while (i <= n && substr(text, i, 1) != "\n") i++; i--; continue }
        if (two == "/*") {
          i += 2
          while (i <= n && substr(text, i, 2) != "*/") { if (substr(text, i, 1) == "\n") line++; i++ }
          i++; continue
        }
        if (c == "\"" || c == "'\''") {             # string or character literal
          q = c; i++
          while (i <= n && substr(text, i, 1) != q) { if (substr(text, i, 1) == "\\") i++; i++ }
          c = "x"
        }
        if (c == " " || c == "\t") continue
        inside = zdepth >= 0
        if (c == "{") {
          depth++
          if (!inside && pending ~ /^namespace zelt(::[A-Za-z_0-9:]+)?$/) { zdepth = depth; pending = ""; continue }
          if (!inside) { print line; exit }
          continue
        }
        if (c == "}") {
          if (inside && depth == zdepth) zdepth = -1
          depth--; continue
        }
        if (inside) continue
        # Outside: only the words of a namespace opening may stand here.
        if (c ~ /[A-Za-z_0-9:]/) {
          word = word c
          nxt = substr(text, i + 1, 1)
          if (nxt !~ /[A-Za-z_0-9:]/) {
            pending = pending == "" ? word : pending " " word
            word = ""
            if (pending !~ /^namespace( zelt(::[A-Za-z_0-9:]+)?)?$/) { print line; exit }
          }
          continue
        }
        print line; exit
      }
      if (pending != "") print line
    }' "$1"
}

declare -A allowed=()
if [ -f "$allowlist" ]; then
  while IFS= read -r entry; do
    entry=${entry%%#*}
    entry=$(echo "$entry" | tr -d '[:space:]')
    [ -n "$entry" ] && allowed[$entry]=1
  done <"$allowlist"
fi

status=0
declare -A seen=()
for h in "${headers[@]}"; do
  at=$(first_outside "$h")
  if [ -n "$at" ]; then
    seen[$h]=1
    if [ -z "${allowed[$h]:-}" ]; then
      echo "$h:$at: declares outside a zelt namespace"
      status=1
    fi
  fi
done
if [ $# -eq 0 ]; then
  for h in "${!allowed[@]}"; do
    if [ -z "${seen[$h]:-}" ]; then
      echo "$h: is in $allowlist but declares only into zelt namespaces (or is gone); remove it from the list"
      status=1
    fi
  done
fi
exit $status
