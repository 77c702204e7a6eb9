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

echo "== fuzz targets (short runs)"
for f in build-asan/fuzz/*; do
  [ -f "$f" ] && [ -x "$f" ] || continue
  name=$(basename "$f")
  corpus="build-asan/corpus-$name"
  mkdir -p "$corpus"
  seeds=$(ls -d fuzz/*/seeds/"$name" 2>/dev/null | head -n 1 || true)
  echo "-- $name"
  "$f" -max_total_time="${FUZZ_SECONDS:-3}" -timeout=20 -rss_limit_mb=2048 "$corpus" $seeds 2>&1 | tail -n 1
done
