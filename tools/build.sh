#!/usr/bin/env bash
# Configures (once) and builds the build tree given as $1 (default: build).
# ORVN_UPDATE_PUBKEY in the environment, even empty, sets the updater's
# publisher key of the tree (tools/release.py pubkey); unset keeps the tree's.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build}
if [ ! -f "$tree/CMakeCache.txt" ]; then
  launcher=()
  # Several build trees of one machine share compiled objects when ccache is there.
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S "$root" -B "$tree" -G Ninja --toolchain "$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
fi
if [ -n "${ORVN_UPDATE_PUBKEY+set}" ]; then
  cmake -S "$root" -B "$tree" -DORVN_UPDATE_PUBKEY="$ORVN_UPDATE_PUBKEY" >/dev/null
fi
cmake --build "$tree"
