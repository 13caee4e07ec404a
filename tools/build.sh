#!/usr/bin/env bash
# Configures (once) and builds the build tree given as $1 (default: build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build}
if [ ! -f "$tree/CMakeCache.txt" ]; then
  launcher=()
  # Several build trees of one machine share compiled objects when ccache is there.
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S "$root" -B "$tree" -G Ninja --toolchain "$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}"
fi
cmake --build "$tree"
