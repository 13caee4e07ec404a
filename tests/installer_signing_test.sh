#!/usr/bin/env bash
# What ships is signed: in a tree without a publisher key the installer refuses
# to build, naming ORVN_UPDATE_PUBKEY and the override, unless the tree says it
# is a development build (ORVN_ALLOW_UNSIGNED_UPDATES=ON, which configuring warns of); a key
# must be a P-256 point. Only the installer's own check step is built,
# in a scratch tree without the tests.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
tree=$work/tree

configure() {
  cmake -S "$root" -B "$tree" -G Ninja --toolchain "$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF "$@" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; fail "configuring with $*"; }
}

configure -DORVN_UPDATE_PUBKEY= -DORVN_ALLOW_UNSIGNED_UPDATES=OFF
# Building the installer runs the check before packing anything.
ninja -C "$tree" -t query installer/CMakeFiles/OrvaneSetup | grep -q 'installer/SignedUpdatesCheck$' ||
  fail "OrvaneSetup does not depend on SignedUpdatesCheck"
if cmake --build "$tree" --target SignedUpdatesCheck >"$work/build.log" 2>&1; then
  fail "a keyless installer builds without the override"
fi
grep -q 'ORVN_UPDATE_PUBKEY' "$work/build.log" && grep -q 'ORVN_ALLOW_UNSIGNED_UPDATES=ON' "$work/build.log" ||
  { cat "$work/build.log"; fail "the refusal names neither the key nor the override"; }

configure -DORVN_ALLOW_UNSIGNED_UPDATES=ON
grep -q 'ORVN_ALLOW_UNSIGNED_UPDATES=ON' "$work/configure.log" || fail "no warning for ORVN_ALLOW_UNSIGNED_UPDATES=ON"
cmake --build "$tree" --target SignedUpdatesCheck >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; fail "the override does not let a keyless installer build"; }

# A key no update could verify against stops the configure (the tool's own test tries the other bad forms).
if cmake -S "$root" -B "$work/bad" -G Ninja --toolchain "$root/cmake/mingw-w64-i686.cmake" -DBUILD_TESTING=OFF \
     -DORVN_UPDATE_PUBKEY=04$(printf '%0128d' 7) >"$work/bad.log" 2>&1; then
  fail "a key off the curve configures"
fi
grep -q 'ORVN_UPDATE_PUBKEY is not a point on the P-256 curve' "$work/bad.log" || { cat "$work/bad.log"; fail "no clear refusal"; }
echo "a keyless installer builds only with ORVN_ALLOW_UNSIGNED_UPDATES=ON"
