#!/usr/bin/env bash
# Configures (once) and builds the build tree given as $1 (default: build).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build}
if [ ! -f "$tree/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$tree" -G Ninja --toolchain "$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$tree"
