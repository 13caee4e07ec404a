#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under the bench.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
# The tests are of the default build, without a publisher key (tools/run.sh
# builds one in), and so of a development installer; the keyed updater is built
# by the tests themselves.
ORVN_UPDATE_PUBKEY="" ORVN_ALLOW_UNSIGNED_UPDATES=ON "$root/tools/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure --parallel 2 "$@"
