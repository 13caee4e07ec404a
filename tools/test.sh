#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under the bench, on the
# architecture this host runs (tools/arch.sh: i686, the build players get, where
# the kernel runs 32-bit code; x86_64 elsewhere; ORVN_ARCH overrides). The other
# architecture's programs and test programs are built too, not run, so that
# neither rots. Arguments go to ctest.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
# shellcheck source=tools/arch.sh
. "$root/tools/arch.sh"
arch=$(orvn_arch)
other=$(orvn_other_arch "$arch")
tree=$(orvn_tree "$arch")
echo "test: the suite runs on $arch in $tree; $other is built, not run"
# The tests are of the default build, without a publisher key (tools/run.sh
# builds one in), and so of a development installer; the keyed updater is built
# by the tests themselves.
for a in "$arch" "$other"; do
  ORVN_ARCH=$a ORVN_UPDATE_PUBKEY="" ORVN_ALLOW_UNSIGNED_UPDATES=ON "$root/tools/build.sh" "$(orvn_tree "$a")"
done
cd "$tree"
echo "test: running the suite on $arch"
ctest --output-on-failure --parallel 2 "$@"
