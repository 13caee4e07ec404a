#!/usr/bin/env bash
# Benchmark, not a test: fetching and installing a 20 MB file over loopback the
# way start.exe does (worker thread, progress dialog, hash, staged copy, rename)
# against a bare WinINet loop of 64 KiB reads under the same Wine, and against
# curl, all from the same stand-in update server.
#   tools/update_benchmark.sh [build tree]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/tools/arch.sh"
tree=$(cd "${1:-$(orvn_tree "$(orvn_arch)")}" && pwd)
work=$(mktemp -d)
trap 'curl -s "http://127.0.0.1:$port/_quit" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
head -c $((20 * 1024 * 1024)) /dev/urandom >"$work/Big.dat"
size=$(stat -c %s "$work/Big.dat")
port=0
/usr/bin/python3 "$root/tools/update_server.py" --root "$work" --port-file "$work/port" --max-seconds 600 >/dev/null &
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cut -d' ' -f1 "$work/port")

echo "20 MB over loopback from the stand-in update server (port $port)"
for run in 1 2 3; do
  t=$(curl -s -o "$work/curl.out" -w '%{time_total}' "http://127.0.0.1:$port/quilla/Big.dat")
  printf 'curl    run %d: %7.1f ms (%.1f MB/s)\n' "$run" "$(echo "$t * 1000" | bc -l)" "$(echo "20 / $t" | bc -l)"
done
cmp -s "$work/Big.dat" "$work/curl.out" || echo "curl: the fetched file differs!"
for run in 1 2 3; do
  printf 'wininet run %d: ' "$run"
  "$root/tools/bench" run --tree "$tree" --timeout 300 -- "$tree/tests/UpdateBench.exe" plain "$port" Big.dat 2>/dev/null |
    tr -d '\r'
  printf 'start   run %d: ' "$run"
  "$root/tools/bench" run --tree "$tree" --timeout 300 -- "$tree/tests/UpdateBench.exe" "$port" Big.dat "$size" 2>/dev/null |
    tr -d '\r'
done
