#!/usr/bin/env bash
# Builds everything (both programs, zeltnvm and zeltnvm-esx, the tools and the tests)
# and runs every test: the normal build (g++), then one clang build
# under AddressSanitizer and UndefinedBehaviorSanitizer that runs the tests again and
# builds the libFuzzer targets, each of which then runs for a short time (FUZZ_SECONDS,
# 3 by default; scripts/fuzz.sh runs a longer campaign).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

echo "== build and test (g++)"
scripts/build.sh build

echo "== no new mutable global state in the libraries, every header in a zelt namespace"
scripts/check_globals.sh build
scripts/check_namespaces.sh
ctest --test-dir build -j"$jobs" --output-on-failure

echo "== sanitizer build and test (clang, ASan + UBSan) with the fuzz targets"
CC=clang CXX=clang++ scripts/build.sh build-asan -DZELT_SANITIZE=ON -DZELT_FUZZ=ON -DZELT_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug
# The playbook test drives the programs through Ansible; the plain build runs it, and
# under the sanitizers it would repeat command runs the other tests already make.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure -LE ansible

echo "== fuzz targets (short runs, $jobs at a time)"
# One target's short run; its last line is printed, or its whole tail when it fails.
fuzz_one() {
  local f=$1 name corpus seeds out rc=0
  name=$(basename "$f")
  corpus="build-asan/corpus-$name"
  mkdir -p "$corpus"
  seeds=$(ls -d fuzz/*/seeds/"$name" 2>/dev/null | head -n 1 || true)
  out=$("$f" -max_total_time="${FUZZ_SECONDS:-3}" -timeout=20 -rss_limit_mb=2048 "$corpus" $seeds 2>&1) || rc=$?
  if [ "$rc" -eq 0 ]; then
    printf -- '-- %s\n%s\n' "$name" "$(tail -n 1 <<<"$out")"
  else
    printf -- '-- %s FAILED (%s)\n%s\n' "$name" "$rc" "$(tail -n 40 <<<"$out")"
  fi
  return "$rc"
}
export -f fuzz_one
find build-asan/fuzz -maxdepth 1 -type f -executable -print0 | sort -z |
  xargs -0 -r -n 1 -P "$jobs" bash -c 'fuzz_one "$1"' _
