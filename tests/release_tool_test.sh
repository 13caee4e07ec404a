#!/usr/bin/env bash
# The release tool refuses what the updater would read otherwise, a number signed again with other
# contents, and bad keys. That its releases verify shows in every run of the keyed updater's tests.
set -eu
tool=$(cd "$(dirname "$0")/.." && pwd)/tools/release.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

pubhex=$(python3 "$tool" keygen "$work/key.pem")
mkdir -p "$work/rel/sub"
printf 'one\r\n' >"$work/rel/a.txt"
head -c 5000 /dev/urandom >"$work/rel/sub/b.bin"
printf '[Count]\r\nTotal=2\r\n[File1]\r\nFilename=a.txt\r\n[File2]\r\nFilename=sub\\b.bin\r\n' >"$work/rel/version.ini"
python3 "$tool" release "$work/key.pem" "$work/rel" 7

# refused WHAT COMMAND...: the tool fails and leaves the folder as it was.
refused() {
  what=$1; shift
  before=$(cat "$work/rel/version.ini" "$work/rel/version.ini.sig" | sha256sum)
  rc=0
  timeout 20 python3 "$tool" "$@" 2>"$work/err" || rc=$?
  [ $rc -ne 0 ] || fail "$what: accepted"
  [ $rc -ne 124 ] || fail "$what: still running after 20 s (reading a name it should refuse?)"
  [ "$(cat "$work/rel/version.ini" "$work/rel/version.ini.sig" | sha256sum)" = "$before" ] || fail "$what: folder changed"
}

# Release numbers: ASCII digits, at most 18, each above the last one signed for the folder.
for number in 7 6 "" "+8" "-8" " 8" "8 " "0x10" "1e3" "８" "٨" "1234567890123456789"; do
  refused "release number '$number'" release "$work/key.pem" "$work/rel" "$number"
done
python3 "$tool" release "$work/key.pem" "$work/rel" 8 || fail "release 8 after 7"
# The same folder by another path is the same folder.
ln -s "$work/rel" "$work/same"
refused "release 8 again through a link" release "$work/key.pem" "$work/same" 8
# A number means one manifest: signed again as it is, or not at all.
python3 "$tool" sign "$work/key.pem" "$work/rel" || fail "signing release 8 again, unchanged"
printf '; mended\r\n' >>"$work/rel/version.ini"
refused "release 8 mended and signed again" sign "$work/key.pem" "$work/rel"
grep -q "other contents" "$work/err" || fail "mended release 8: $(cat "$work/err")"
sed -i '$d' "$work/rel/version.ini"
# A number signed in one folder means that manifest in every other.
mkdir "$work/rel2" && cp "$work/rel/a.txt" "$work/rel2/" &&
  printf '[Count]\r\nTotal=1\r\n[File1]\r\nFilename=a.txt\r\n' >"$work/rel2/version.ini"
rel2before=$(cat "$work/rel2/version.ini")
python3 "$tool" release "$work/key.pem" "$work/rel2" 8 2>"$work/err" && fail "release 8 with other contents in rel2"
[ "$(cat "$work/rel2/version.ini")" = "$rel2before" ] || fail "a refused release changed the manifest"

# The manifest is read as the updater reads it. A UTF-8 mark before [Count]; a Hangul name
# whose UTF-8 holds 0x85, which is no line end; a CR alone is none either.
mkdir "$work/rel3"
name=$(printf '\352\260\205.txt')   # U+AC05, EA B0 85
printf 'three\r\n' >"$work/rel3/$name"
printf '\357\273\277[Count]\r\nTotal=1\r\n[File1]\r\nFilename=%s\r\nNote=a\rb\r\n' "$name" >"$work/rel3/version.ini"
python3 "$tool" release "$work/key.pem" "$work/rel3" 1 || fail "a UTF-8 manifest with a mark"
[ "$(grep -c '\[Count\]' "$work/rel3/version.ini")" = 1 ] || fail "the marked manifest's [Count] was not seen"
head -c 3 "$work/rel3/version.ini" | cmp -s - <(printf '\357\273\277') || fail "the mark was not kept"
grep -q "^Filehash=$(sha256sum "$work/rel3/$name" | cut -d' ' -f1)"$'\r'"$" "$work/rel3/version.ini" ||
  fail "the Hangul name was not read whole"
grep -q $'^Note=a\rb\r$' "$work/rel3/version.ini" || fail "a CR alone ended a line"
# Text without a mark must be ASCII: its code page is the player's.
printf '[Count]\r\nTotal=1\r\n[File1]\r\nFilename=%s\r\n' "$name" >"$work/rel3/version.ini"
python3 "$tool" release "$work/key.pem" "$work/rel3" 2 2>"$work/err" && fail "a manifest of no mark and not ASCII"
grep -q "must be ASCII" "$work/err" || fail "no-mark manifest: $(cat "$work/err")"

# Only a P-256 point is a key: what pubkey prints, what checkkey (the build's check) takes.
python3 "$tool" checkkey "$pubhex" || fail "checkkey refuses the key it made"
for key in deadbeef "$pubhex " " $pubhex" "${pubhex:0:128}" "05${pubhex:2}" "04$(printf '%0128d' 7)" \
           "${pubhex:0:129}0" "${pubhex:0:64}x${pubhex:65}" "${pubhex}00"; do
  python3 "$tool" checkkey "$key" 2>/dev/null && fail "checkkey takes '$key'"
done
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out "$work/p384.pem" 2>/dev/null
python3 "$tool" pubkey "$work/p384.pem" >"$work/out" 2>"$work/err" && fail "pubkey of a P-384 key"
[ ! -s "$work/out" ] || fail "pubkey printed $(cat "$work/out") for a P-384 key"

# Names that leave the folder are refused before anything is read: the file
# outside is a FIFO, which a read would wait on for ever.
mkfifo "$work/outside.txt"
mkdir "$work/outdir" && mkfifo "$work/outdir/secret.txt"
ln -s "$work/outside.txt" "$work/rel/linkout.txt"
ln -s "$work/outdir" "$work/rel/dirout"
ln -s a.txt "$work/rel/linkin.txt"
for name in '..\outside.txt' '../outside.txt' 'sub\..\..\outside.txt' 'sub/../../outside.txt' \
            "$work/outside.txt" '\outside.txt' 'Z:outside.txt' 'C:\outside.txt' 'a.txt:stream' \
            '...\outside.txt' '.. \outside.txt' 'linkout.txt' 'dirout\secret.txt'; do
  cp "$work/rel/version.ini" "$work/keep.ini"
  printf '[File3]\r\nFilename=%s\r\n' "$name" >>"$work/rel/version.ini"
  sed -i 's/^Total=2/Total=3/' "$work/rel/version.ini"
  refused "name '$name'" release "$work/key.pem" "$work/rel" 9
  grep -q "leaves the release folder" "$work/err" || fail "name '$name': $(cat "$work/err")"
  cp "$work/keep.ini" "$work/rel/version.ini"
done
# A link that stays inside is an ordinary file.
printf '[File3]\r\nFilename=linkin.txt\r\n' >>"$work/rel/version.ini"
sed -i 's/^Total=2/Total=3/' "$work/rel/version.ini"
python3 "$tool" release "$work/key.pem" "$work/rel" 9 || fail "a link inside the folder"
echo "release tool: bad numbers, re-signed numbers, names leaving the folder, manifests read otherwise and bad keys are refused"
