#!/usr/bin/env bash
# The bench among neighbours and kills: two benches started at the same moment
# get different displays, and a transient `bench run` ended by SIGTERM or killed
# outright (as by a ctest time-out) leaves no process of it behind. Uses two
# trees of its own under the build tree $1 (their Wine prefixes are made on the
# first run).
set -u
bench=$(cd "$(dirname "$0")/../tools" && pwd)/bench
mkdir -p "$1/bench_test/a" "$1/bench_test/b"
work=$(cd "$1/bench_test" && pwd)
a=$work/a b=$work/b
status=0
fail() { echo "FAIL: $*"; status=1; }

# Processes of a tree's bench (whose command line matches $2, if given): every
# one carries the tree's runtime folder in its environment (Xvfb, PulseAudio,
# wineserver and each Wine process).
count() {
  local n=0 p
  for p in /proc/[0-9]*; do
    grep -qz "^XDG_RUNTIME_DIR=$1/bench/run\$" "$p/environ" 2>/dev/null || continue
    [ -z "${2:-}" ] || tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -qi "$2" || continue
    n=$((n + 1))
  done
  echo $n
}

# Waits (without a deadline that a slow machine could miss) until a tree has no
# process left, giving up after a minute.
drained() {
  for _ in $(seq 1 120); do
    [ "$(count "$1")" = 0 ] && return 0
    sleep 0.5
  done
  return 1
}

trap '"$bench" stop --tree "$a" >/dev/null 2>&1; "$bench" stop --tree "$b" >/dev/null 2>&1' EXIT

# Prefixes first, one after the other, so that the two starts below meet at the display.
for t in "$a" "$b"; do
  if [ ! -f "$t/wineprefix/.orvn-ready" ]; then
    "$bench" start --tree "$t" && "$bench" stop --tree "$t"
  fi
done

# Two benches at the same moment.
"$bench" start --tree "$a" & pa=$!
"$bench" start --tree "$b" & pb=$!
wait $pa || fail "bench a did not start"
wait $pb || fail "bench b did not start"
da=$("$bench" display --tree "$a") db=$("$bench" display --tree "$b")
echo "displays started together: a=$da b=$db"
if [ -z "$da" ] || [ "$da" = "$db" ]; then fail "the two benches share display '$da'"; fi
for d in "$da" "$db"; do
  xwininfo -root -display "$d" >/dev/null 2>&1 || fail "no X server answers on $d"
done
"$bench" stop --tree "$a"
"$bench" stop --tree "$b"
if ! drained "$a" || ! drained "$b"; then fail "processes left after stop: a=$(count "$a") b=$(count "$b")"; fi

# ended SIGNAL: a transient run ended by that signal while its program runs leaves
# no process behind. KILL goes to the run's whole process group, as a ctest
# time-out sends it, so no trap of the run runs. Its output goes nowhere: a
# process it left must not hold the caller's pipe open.
ended() {
  setsid "$bench" run --tree "$a" --timeout 600 -- notepad >/dev/null 2>&1 & run=$!
  for _ in $(seq 1 240); do
    [ "$(count "$a" 'notepad\.exe')" = 0 ] || break
    sleep 0.5
  done
  before=$(count "$a")
  if [ "$1" = KILL ]; then kill -KILL -- -"$run"; else kill -"$1" "$run"; fi
  wait $run 2>/dev/null
  drained "$a"
  echo "SIG$1: $before processes while running, $(count "$a") after"
  [ "$before" -gt 3 ] || fail "the transient bench never ran notepad ($before processes)"
  [ "$(count "$a")" = 0 ] || fail "a run ended by SIG$1 left $(count "$a") processes"
}
ended TERM
ended KILL

[ $status = 0 ] && echo "bench_test: ok"
exit $status
