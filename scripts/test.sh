#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, then the tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, then a short run of each
# fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

echo "== build and test"
scripts/build.sh build
ctest --test-dir build -j"$jobs" --output-on-failure

echo "== sanitizer build and test (ASan + UBSan)"
scripts/build.sh build-asan -DZELT_SANITIZE=ON -DZELT_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure

if ls fuzz/*/CMakeLists.txt >/dev/null 2>&1; then
  echo "== fuzz targets (short runs)"
  CC=clang CXX=clang++ scripts/build.sh build-fuzz -DZELT_FUZZ=ON -DZELT_TESTS=OFF -DZELT_BENCH=OFF
  for f in build-fuzz/fuzz/*; do
    [ -f "$f" ] && [ -x "$f" ] || continue
    name=$(basename "$f")
    corpus="build-fuzz/corpus-$name"
    mkdir -p "$corpus"
    seeds=$(ls -d fuzz/*/seeds/"$name" 2>/dev/null | head -n 1 || true)
    echo "-- $name"
    "$f" -max_total_time="${FUZZ_SECONDS:-10}" -rss_limit_mb=2048 "$corpus" $seeds 2>&1 | tail -n 2
  done
fi
