#!/usr/bin/env bash
# Configures (once) and builds the build tree given as $1 (default: build).
# The updater gets the publisher key in ORVN_UPDATE_PUBKEY (tools/release.py
# pubkey), none when it is unset: a tree never keeps a key from an earlier build.
# Without a key the installer refuses to build unless ORVN_ALLOW_UNSIGNED_UPDATES=ON
# (a development installer); that setting, too, is taken from the environment
# every time (OFF when unset).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$root/build}
key=${ORVN_UPDATE_PUBKEY:-}
allow=${ORVN_ALLOW_UNSIGNED_UPDATES:-OFF}
if [ ! -f "$tree/CMakeCache.txt" ]; then
  launcher=()
  # Several build trees of one machine share compiled objects when ccache is there.
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S "$root" -B "$tree" -G Ninja --toolchain "$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DORVN_UPDATE_PUBKEY="$key" -DORVN_ALLOW_UNSIGNED_UPDATES="$allow" "${launcher[@]}"
elif ! grep -qx "ORVN_UPDATE_PUBKEY:STRING=$key" "$tree/CMakeCache.txt" ||
     ! grep -qx "ORVN_ALLOW_UNSIGNED_UPDATES:BOOL=$allow" "$tree/CMakeCache.txt"; then
  cmake -S "$root" -B "$tree" -DORVN_UPDATE_PUBKEY="$key" -DORVN_ALLOW_UNSIGNED_UPDATES="$allow" >/dev/null
fi
cmake --build "$tree"
