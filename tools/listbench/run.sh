#!/usr/bin/env bash
# The server list benchmark (needs root; not part of the test suite).
#
#   tools/listbench/run.sh [--tree BUILD] [--launcher DIST] [--rtts "0 2 5 ..."] [--rows "200 1000 5000"]
#
# Builds a test host in a network namespace behind a delay line (two TUN
# devices bridged by delay_relay.py, which holds each packet for half the RTT),
# runs the real launcher from DIST (default BUILD/dist) in the bench of BUILD
# and prints, for each RTT: the true connect time taken from the packets, the
# launcher's median reading, a native connect's median and the errors; the
# sweep's wall time for 50 answering servers at 20 ms over the sum of native
# connect times; and the list load time and worst window latency for a few
# list sizes.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
. "$root/tools/arch.sh"
tree=$(orvn_tree "$(orvn_arch)"); dist=""; rtts="0 2 5 10 20 50 120"; rows="200 1000 5000"
while [ $# -gt 0 ]; do
  case "$1" in
    --tree) tree=$2; shift 2 ;;
    --launcher) dist=$2; shift 2 ;;
    --rtts) rtts=$2; shift 2 ;;
    --rows) rows=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
tree=$(cd "$tree" && pwd)
dist=$(cd "${dist:-$tree/dist}" && pwd)
[ "$(id -u)" = 0 ] || { echo "listbench: needs root (network namespace, TUN devices)" >&2; exit 1; }
[ -x "$tree/tools/ListBench.exe" ] || { echo "listbench: build the ListBench target first" >&2; exit 1; }

id=$$
ns=orvnbench$id; near=obn${id}a; far=obn${id}b
host=10.77.0.2
work=$(mktemp -d /tmp/listbench.XXXXXX)
bench=$root/tools/bench
relay=""; server=""; started=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  [ -n "$relay" ] && kill "$relay" 2>/dev/null
  ip netns del "$ns" 2>/dev/null
  [ -n "$started" ] && "$bench" stop --tree "$tree" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# The delay line and the test host.
echo 0 >"$work/rtt"
: >"$work/wire.log"
ip netns add "$ns"
python3 "$here/delay_relay.py" "$near" "$far" "$ns" "$work/rtt" "$work/wire.log" >"$work/relay.out" 2>&1 &
relay=$!
for _ in $(seq 50); do grep -q ready "$work/relay.out" 2>/dev/null && break; sleep 0.1; done
grep -q ready "$work/relay.out" || { echo "listbench: the delay line did not start: $(cat "$work/relay.out")" >&2; exit 1; }
ip addr add 10.77.0.1 peer $host dev "$near"
ip link set "$near" up
ip netns exec "$ns" ip link set lo up
ip netns exec "$ns" ip addr add $host peer 10.77.0.1 dev "$far"
ip netns exec "$ns" ip link set "$far" up
ip netns exec "$ns" python3 -c '
import socket
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("'$host'", 6112)); s.listen(512)
while True:
    c, _ = s.accept(); c.close()
' &
server=$!
# Nothing may go anywhere but to the test host behind the delay line.
for _ in $(seq 50); do
  ip netns exec "$ns" ss -ltn 2>/dev/null | grep -q "$host:6112" && break; sleep 0.1
done
ip route get $host | grep -q "dev $near" || { echo "listbench: $host is not routed through $near" >&2; exit 1; }
ip netns exec "$ns" ss -ltn | grep -q "$host:6112" || { echo "listbench: the test host does not listen" >&2; exit 1; }

# The launcher's program folder, and the bench.
mkdir -p "$work/prog"
cp -r "$dist"/. "$work/prog"/
prog="Z:$(echo "$work/prog" | tr / '\\')"
if [ ! -e "$tree/bench/display" ] || ! "$bench" env --tree "$tree" >/dev/null 2>&1; then started=1; fi
"$bench" start --tree "$tree" >/dev/null
run() { "$bench" run --tree "$tree" --timeout 1200 -- "$tree/tools/ListBench.exe" "$@" | tr -d '\r'; }
median() { sort -n | awk '{v[NR]=$1} END {if (NR==0) print -1; else if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2}'; }

echo "launcher: $dist/Orvn.exe"
echo
printf "%8s %10s %10s %10s %12s %12s\n" "RTT ms" "wire ms" "launcher" "native" "launcher err" "native err"
for rtt in $rtts; do
  echo "$rtt" >"$work/rtt"; sleep 0.3
  : >"$work/wire.log"
  line=$(run latency "$prog" $host 10 4 | grep '^latency' || true)
  wire=$(median <"$work/wire.log")
  l=$(echo "$line" | sed -n 's/.*launcher_median=\([^ ]*\).*/\1/p'); n=$(echo "$line" | sed -n 's/.*native_median=\([^ ]*\).*/\1/p')
  [ -n "$l" ] || { echo "$rtt: no result ($line)"; continue; }
  awk -v r="$rtt" -v w="$wire" -v l="$l" -v n="$n" 'BEGIN {printf "%8s %10.2f %10.2f %10.2f %+12.2f %+12.2f\n", r, w, l, n, l - w, n - w}'
done

echo
echo 20 >"$work/rtt"; sleep 0.3
run sweep "$prog" $host 50 | grep '^sweep' || echo "sweep: no result"

echo
echo 0 >"$work/rtt"; sleep 0.3
for n in $rows; do run load "$prog" $host "$n" | grep '^load' || echo "load $n: no result"; done
