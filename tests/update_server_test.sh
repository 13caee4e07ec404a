#!/usr/bin/env bash
# The stand-in update server serves only files inside its root: the tests give it folders of their own, but
# it listens where any program of the machine can ask.
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
python3 "$server" --root "$root" --port-file "$work/port" --max-seconds 300 >/dev/null &
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
echo "update server serves only its root"
