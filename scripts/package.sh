#!/usr/bin/env bash
# Builds the Debian packages into <output dir>: zeltnvm_<version>_<arch>.deb (the
# utility, without the simulated adapter host) and zeltnvm-tools_<version>_<arch>.deb
# (zeltsim and zeltpkg).
#
#   scripts/package.sh <output dir> [<build dir>]
#
# Without a build dir the programs are built in <output dir>/build (optimised as the
# tested build is, without the simulated host; stripped in the package); with one, that
# configured and built tree is packaged as it is (the tests do this to keep quick).
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 <output dir> [<build dir>]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
if [ $# -eq 2 ]; then
  build=$(cd "$2" && pwd)
else
  build=$out/build
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELT_WITH_SIM=OFF -DZELT_TESTS=OFF \
        -DZELT_BENCH=OFF "${launcher[@]}" >/dev/null
  cmake --build "$build" --target zeltnvm zeltsim zeltpkg
fi
# CPack's scratch space stays beside the build; only the packages land in <output dir>.
work=$build/_cpack
rm -rf "$work"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
mv "$work"/*.deb "$out"/
rm -rf "$work"
ls "$out"/*.deb
