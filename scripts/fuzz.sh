#!/usr/bin/env bash
# A fuzzing campaign in one command: builds the libFuzzer targets in the sanitizer
# build (build-asan/, configured first when missing), then runs every target, one after
# another, for the given number of seconds (default 60) and prints the executions per
# second of each. Each target's corpus is kept in build-asan/corpus-<target> (the same
# place scripts/test.sh uses), so the next campaign continues where this one stopped;
# the seeds under fuzz/*/seeds/<target> are read as well. Findings land in
# build-asan/findings-<target>/.
#
#   scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
dir=build-asan

all_targets=$(sed -n 's/^zelt_fuzz(\([A-Za-z0-9_]*\).*/\1/p' fuzz/*/CMakeLists.txt | sort)
targets=${*:-$all_targets}

if [ ! -f "$dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DZELT_SANITIZE=ON -DZELT_FUZZ=ON -DZELT_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug $(command -v ccache >/dev/null 2>&1 &&
      echo -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
fi
# shellcheck disable=SC2086
if ! cmake --build "$dir" --target $targets >"$dir/fuzz-build.log" 2>&1; then
  cat "$dir/fuzz-build.log"
  exit 1
fi

printf '%-36s %8s %12s %10s\n' target seconds executions exec/s
status=0
for name in $targets; do
  corpus="$dir/corpus-$name"
  findings="$dir/findings-$name"
  mkdir -p "$corpus" "$findings"
  seeds=$(ls -d fuzz/*/seeds/"$name" 2>/dev/null | head -n 1 || true)
  log="$dir/fuzz-$name.log"
  rc=0
  # shellcheck disable=SC2086
  "$dir/fuzz/$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" $seeds >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  printf '%-36s %8s %12s %10s' "$name" "$seconds" "${runs:-?}" "${rate:-?}"
  if [ "$rc" -ne 0 ]; then
    printf '   FAILED (exit %s, see %s)' "$rc" "$log"
    status=1
  fi
  printf '\n'
done
exit "$status"
