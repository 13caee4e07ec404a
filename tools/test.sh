#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under the bench.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure "$@"
