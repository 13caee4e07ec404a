#!/usr/bin/env bash
# The stand-in update server serves only files inside its root, and its faults
# for the updater's tests behave as documented: swap, drip, endless and stall;
# a client that goes away from them leaves no thread behind.
set -eu
server=$(cd "$(dirname "$0")/.." && pwd)/tools/update_server.py
work=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

root=$work/root
mkdir -p "$root/sub" "$work/outdir"
echo inside >"$root/a.txt"
echo below >"$root/sub/b.txt"
echo secret >"$work/secret.txt"
echo secret >"$work/outdir/secret.txt"
ln -s "$work/secret.txt" "$root/linkout.txt"
ln -s "$work/outdir" "$root/dirout"
ln -s a.txt "$root/linkin.txt"
printf 'first manifest' >"$root/version.ini"
printf 'second manifest' >"$root/version.ini.alt"
head -c 3000 /dev/zero | tr '\0' 'd' >"$root/drip.bin"
cp "$root/a.txt" "$root/a.txt.end"
cp "$root/drip.bin" "$root/stall.bin"
python3 "$server" --root "$root" --port-file "$work/port" --max-seconds 300 --fault version.ini=swap \
  --fault drip.bin=drip --fault a.txt.end=endless --fault stall.bin=stall >/dev/null &
pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
read -r port _ <"$work/port"
url=http://127.0.0.1:$port/quilla

# status PATH: the HTTP status of /quilla/PATH, sent as it is written.
status() { curl -s --path-as-is -o /dev/null -w '%{http_code}' "$url/$1"; }
for path in a.txt sub/b.txt 'sub%5cb.txt' linkin.txt; do
  [ "$(status "$path")" = 200 ] || fail "$path inside the root is not served"
done
for path in ../secret.txt '%2e%2e/secret.txt' '..%5csecret.txt' '%2e%2e%2fsecret.txt' sub/../../secret.txt \
            "/$work/secret.txt" "%2f${work#/}/secret.txt" linkout.txt dirout/secret.txt 'a.txt%00'; do
  [ "$(status "$path")" = 404 ] || fail "$path outside the root is served"
done

# threads: the server's threads now; idle, the main one and the two accepting ones.
threads() { ls "/proc/$pid/task" | wc -l; }
idle=3
idle_again() {
  for _ in $(seq 1 100); do [ "$(threads)" -le "$idle" ] && return 0; sleep 0.1; done
  fail "$1: the server still has $(threads) threads, $idle when idle"
}
# cut_off KIND SECONDS CURL-ARGS...: the answer has not ended when curl gives up and leaves.
cut_off() {
  local kind=$1 seconds=$2 rc=0; shift 2
  curl -s -m "$seconds" "$@" || rc=$?
  [ $rc = 28 ] || fail "$kind: the body ended (curl $rc)"
  idle_again "$kind"
}

# swap: the first request as it is, every later one from NAME.alt.
[ "$(curl -s "$url/version.ini")" = "first manifest" ] || fail "swap: first request"
for _ in 1 2; do [ "$(curl -s "$url/version.ini")" = "second manifest" ] || fail "swap: later request"; done

# drip: the true length, then a byte at a time.
cut_off drip 2 -D "$work/drip.head" -o "$work/drip.body" "$url/drip.bin"
grep -qi '^Content-Length: 3000' "$work/drip.head" || fail "drip: no true Content-Length"
[ "$(stat -c %s "$work/drip.body")" -lt 10 ] || fail "drip: more than a few bytes in 2 s"

# endless: no length, bytes for ever.
cut_off endless 2 -D "$work/end.head" -o "$work/end.body" "$url/a.txt.end"
! grep -qi '^Content-Length' "$work/end.head" || fail "endless: a Content-Length"
[ "$(stat -c %s "$work/end.body")" -gt 1000 ] || fail "endless: no more than the file's bytes"
# stall: half the body, then silence until the client leaves.
cut_off stall 1 -o /dev/null "$url/stall.bin"
echo "update server serves only its root; swap, drip, endless and stall as documented"
