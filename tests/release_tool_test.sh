#!/usr/bin/env bash
# The release tool refuses what the updater would read otherwise, a number signed again with other
# contents, and bad keys. That its releases verify shows in every run of the keyed updater's tests.
set -eu
tool=$(cd "$(dirname "$0")/.." && pwd)/tools/release.py
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# refused WHAT COMMAND...: the tool fails (within 20 s: a read of the FIFO below would hang) and leaves rel as it was.
refused() {
  what=$1; shift; before=$(cat "$w/rel/version.ini" "$w/rel/version.ini.sig" | sha256sum) rc=0
  timeout 20 python3 "$tool" "$@" 2>"$w/err" || rc=$?
  [ $rc -ne 0 ] && [ $rc -ne 124 ] || fail "$what: accepted or hung (rc $rc)"
  [ "$(cat "$w/rel/version.ini" "$w/rel/version.ini.sig" | sha256sum)" = "$before" ] || fail "$what: folder changed"
}

pubhex=$(python3 "$tool" keygen "$w/key.pem")
mkdir -p "$w/rel" "$w/rel2" "$w/rel3" && printf 'one\r\n' >"$w/rel/a.txt"
printf '[Count]\r\nTotal=1\r\n[File1]\r\nFilename=a.txt\r\n' >"$w/rel/version.ini"
python3 "$tool" release "$w/key.pem" "$w/rel" 7
for n in 7 6 "" "+8" "1e3" "٨" "1234567890123456789"; do refused "number '$n'" release "$w/key.pem" "$w/rel" "$n"; done
# A number means one manifest, in every folder: signed again as it is, or not at all.
python3 "$tool" sign "$w/key.pem" "$w/rel" || fail "signing release 7 again, unchanged"
printf '; mended\r\n' >>"$w/rel/version.ini"
refused "release 7 mended and signed again" sign "$w/key.pem" "$w/rel"
cp "$w/rel/a.txt" "$w/rel/version.ini" "$w/rel2/"
python3 "$tool" release "$w/key.pem" "$w/rel2" 7 2>/dev/null && fail "release 7 with other contents in rel2"
python3 "$tool" release "$w/key.pem" "$w/rel2" 8 || fail "release 8 in rel2"

# Read as the updater reads it: a UTF-8 mark before [Count]; without one the text must be ASCII.
name=$(printf '\352\260\205.txt')   # U+AC05, whose UTF-8 holds 0x85, which is no line end
printf 'three\r\n' >"$w/rel3/$name"
printf '\357\273\277[Count]\r\nTotal=1\r\n[File1]\r\nFilename=%s\r\n' "$name" >"$w/rel3/version.ini"
python3 "$tool" release "$w/key.pem" "$w/rel3" 1 || fail "a UTF-8 manifest with a mark"
grep -q "^Filehash=$(sha256sum "$w/rel3/$name" | cut -d' ' -f1)"$'\r'"$" "$w/rel3/version.ini" ||
  fail "the marked manifest's Hangul name was not read whole"
sed -i '1s/^\xEF\xBB\xBF//' "$w/rel3/version.ini"
python3 "$tool" release "$w/key.pem" "$w/rel3" 2 2>"$w/err" && fail "a manifest of no mark and not ASCII"
grep -q "must be ASCII" "$w/err" || fail "no-mark manifest: $(cat "$w/err")"

# Names that leave the folder are refused before anything is read.
mkfifo "$w/outside.txt" && ln -s "$w/outside.txt" "$w/rel/linkout.txt"
for name in '..\outside.txt' 'C:\outside.txt' 'linkout.txt' 'a.txt:stream'; do
  printf '[Count]\r\nTotal=1\r\n[File1]\r\nFilename=%s\r\n' "$name" >"$w/rel/version.ini"
  refused "name '$name'" release "$w/key.pem" "$w/rel" 9
  grep -q "leaves the release folder" "$w/err" || fail "name '$name': $(cat "$w/err")"
done

# Only a P-256 point is a key.
for k in deadbeef "05${pubhex:2}" "04$(printf '%0128d' 7)"; do
  python3 "$tool" checkkey "$k" 2>/dev/null && fail "checkkey takes $k"
done
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out "$w/p384.pem"
python3 "$tool" pubkey "$w/p384.pem" >/dev/null 2>&1 && fail "pubkey of a P-384 key"
echo "release tool: bad numbers, re-signed numbers, names leaving the folder, unreadable manifests, bad keys refused"
