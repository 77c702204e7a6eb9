#!/usr/bin/env bash
# Configures and builds into build/ (or the directory given as first argument,
# with further CMake options after it).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
launcher=()
# A compiler cache, when the machine has one, makes rebuilds of other checkouts quick.
if command -v ccache >/dev/null 2>&1; then launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
