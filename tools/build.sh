#!/usr/bin/env bash
# Configures (once) and builds a build tree: tools/build.sh [TREE]. The
# architecture is ORVN_ARCH, else the host's (tools/arch.sh); the tree defaults
# to build/ARCH, and a tree keeps the architecture it was made with.
# The updater gets the publisher key in ORVN_UPDATE_PUBKEY (tools/release.py
# pubkey), none when it is unset: a tree never keeps a key from an earlier build.
# Without a key the installer refuses to build unless ORVN_ALLOW_UNSIGNED_UPDATES=ON
# (a development installer); that setting, too, is taken from the environment
# every time (OFF when unset).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/arch.sh
. "$root/tools/arch.sh"
arch=$(orvn_arch)
tree=${1:-$(orvn_tree "$arch")}
key=${ORVN_UPDATE_PUBKEY:-}
allow=${ORVN_ALLOW_UNSIGNED_UPDATES:-OFF}
if [ -f "$tree/arch" ] && [ "$(cat "$tree/arch")" != "$arch" ]; then
  echo "build: $tree is a $(cat "$tree/arch") tree, not $arch" >&2
  exit 1
fi
if [ ! -f "$tree/CMakeCache.txt" ]; then
  launcher=()
  # Several build trees of one machine share compiled objects when ccache is there.
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  cmake -S "$root" -B "$tree" -G Ninja --toolchain "$root/cmake/mingw-w64-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DORVN_UPDATE_PUBKEY="$key" -DORVN_ALLOW_UNSIGNED_UPDATES="$allow" "${launcher[@]}"
elif ! grep -qx "ORVN_UPDATE_PUBKEY:STRING=$key" "$tree/CMakeCache.txt" ||
     ! grep -qx "ORVN_ALLOW_UNSIGNED_UPDATES:BOOL=$allow" "$tree/CMakeCache.txt"; then
  cmake -S "$root" -B "$tree" -DORVN_UPDATE_PUBKEY="$key" -DORVN_ALLOW_UNSIGNED_UPDATES="$allow" >/dev/null
fi
cmake --build "$tree"
