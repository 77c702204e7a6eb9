#!/usr/bin/env bash
# Lists the mutable data of the project's libraries and fails when some is not in the
# allowlist: every object with static storage that sits in a writable section (.bss,
# .data and the relocated .data.rel.local, thread-local .tbss and .tdata), which is
# namespace-scope variables, class statics, function-local statics and their guard
# variables, and thread-locals. Read-only data, including tables of pointers that the
# loader fixes up (.data.rel.ro), is not listed.
#
# Each entry is "<unit>: <demangled symbol>", the unit being the library (zelt_host)
# or, for a loose object file, its file name. The check also fails for an allowlisted
# entry that is no longer found, so that the list stays exactly what is there.
#
# Usage: scripts/check_globals.sh [-a ALLOWLIST] [-l] [PATH...]
#   PATH: a build directory (its src/*/libzelt_*.a are checked; the default is build/),
#   an archive or object file, or a directory whose *.o and *.a files are checked.
#   -l only prints the entries found.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
allowlist="$root/scripts/globals_allowlist.txt"
list_only=0
while [ $# -gt 0 ]; do
  case "$1" in
    -a) allowlist=$2; shift 2 ;;
    -l) list_only=1; shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || set -- "$root/build"

files=()
for p in "$@"; do
  if [ -d "$p/src" ]; then
    mapfile -t -O "${#files[@]}" files < <(find "$p/src" -name 'libzelt_*.a' | LC_ALL=C sort)
  elif [ -d "$p" ]; then
    mapfile -t -O "${#files[@]}" files < <(find "$p" \( -name '*.o' -o -name '*.a' \) | LC_ALL=C sort)
  elif [ -f "$p" ]; then
    files+=("$p")
  else
    echo "check_globals: $p: no such file or directory" >&2
    exit 2
  fi
done
if [ ${#files[@]} -eq 0 ]; then
  echo "check_globals: no library or object file found in $*" >&2
  exit 2
fi

# "<unit>: <symbol>" for every mutable object of the files.
found() {
  for f in "${files[@]}"; do
    unit=$(basename "$f")
    case "$unit" in
      lib*.a) unit=${unit#lib}; unit=${unit%.a} ;;
    esac
    # objdump -t: "<value> <flags> <section>\t<size> <name>"; "O" marks an object.
    objdump -t -C "$f" | awk -F'\t' -v unit="$unit" '
      NF >= 2 {
        n = split($1, head, " ")
        section = head[n]
        # Objects are flagged "O"; thread-locals carry no type flag (but are no section symbol).
        if (head[n - 1] != "O" && !(section ~ /^\.t(bss|data)/ && head[n - 1] != "d")) next
        if (!(section ~ /^\.(bss|data|tbss|tdata)(\.|$)/ || section == "*COM*")) next
        if (section ~ /^\.data\.rel\.ro/) next
        name = $2
        sub(/^[0-9a-fA-F]+ +/, "", name)
        sub(/^\.hidden +/, "", name)
        if (name ~ /^DW\.ref\./) next     # the compiler'\''s personality and type references
        print unit ": " name
      }'
  done | LC_ALL=C sort -u
}

entries=$(found)
if [ $list_only -eq 1 ]; then
  [ -z "$entries" ] || printf '%s\n' "$entries"
  exit 0
fi

allowed=""
if [ -f "$allowlist" ]; then
  allowed=$(sed -e '/^[[:space:]]*#/d' -e 's/[[:space:]]*$//' -e '/^$/d' "$allowlist" | LC_ALL=C sort -u)
fi

status=0
new=$(LC_ALL=C comm -23 <(printf '%s\n' "$entries" | sed '/^$/d') <(printf '%s\n' "$allowed" | sed '/^$/d'))
stale=$(LC_ALL=C comm -13 <(printf '%s\n' "$entries" | sed '/^$/d') <(printf '%s\n' "$allowed" | sed '/^$/d'))
if [ -n "$new" ]; then
  echo "Mutable global state that is not in $allowlist:"
  printf '%s\n' "$new" | sed 's/^/  /'
  echo "Pass the state down in a value instead (or, for a constant, make it const/constexpr)."
  status=1
fi
if [ -n "$stale" ]; then
  echo "Entries of $allowlist that are no longer found (remove them):"
  printf '%s\n' "$stale" | sed 's/^/  /'
  status=1
fi
exit $status
