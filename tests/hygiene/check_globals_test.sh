#!/usr/bin/env bash
# scripts/check_globals.sh against an object holding mutable data of every kind: it
# lists each of them and not the constant, passes with exactly them allowed, and fails,
# naming the symbol, when one is not allowed or an allowed one is gone.
# Usage: check_globals_test.sh <check_globals.sh> <object files...>
set -euo pipefail
check=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

"$check" -l "$@" >"$tmp/found"
unit=$(basename "$1")
cat >"$tmp/expected" <<LIST
$unit: fixture_counter
$unit: fixture_limit
$unit: fixture_per_thread
$unit: fixture_text[abi:cxx11]()::text
$unit: guard variable for fixture_text[abi:cxx11]()::text
LIST
LC_ALL=C sort -o "$tmp/expected" "$tmp/expected"
diff -u "$tmp/expected" "$tmp/found" || fail "the listing differs from the fixture's mutable data"

{ echo "# every one of them"; cat "$tmp/expected"; } >"$tmp/all"
"$check" -a "$tmp/all" "$@" >"$tmp/out" || { cat "$tmp/out"; fail "refused with everything allowed"; }

grep -v "fixture_counter" "$tmp/all" >"$tmp/missing_one"
if "$check" -a "$tmp/missing_one" "$@" >"$tmp/out"; then fail "a new global passed"; fi
grep -q "^  $unit: fixture_counter$" "$tmp/out" || { cat "$tmp/out"; fail "the new global is not named"; }

{ cat "$tmp/all"; echo "$unit: fixture_removed_long_ago"; } >"$tmp/stale"
if "$check" -a "$tmp/stale" "$@" >"$tmp/out"; then fail "a stale allowlist entry passed"; fi
grep -q "fixture_removed_long_ago" "$tmp/out" || { cat "$tmp/out"; fail "the stale entry is not named"; }
echo "check_globals.sh reports new and stale mutable data"
