#!/usr/bin/env bash
# The release tool's output is standard: the openssl command line reads its key,
# verifies its signature and agrees with its sizes and hashes.
set -eu
tool=$(cd "$(dirname "$0")/.." && pwd)/tools/release.py
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

pubhex=$(python3 "$tool" keygen "$work/key.pem")
# The printed key is the uncompressed point (04, X, Y) that ends the key's DER form.
der=$(openssl pkey -in "$work/key.pem" -pubout -outform DER | od -An -v -tx1 | tr -d ' \n')
[ "${der: -130}" = "$pubhex" ] && [ "${pubhex:0:2}" = 04 ] || fail "public key $pubhex is not the key's point"

mkdir -p "$work/rel/sub"
printf 'one\r\n' >"$work/rel/a.txt"
head -c 5000 /dev/urandom >"$work/rel/sub/b.bin"
printf '[Count]\r\nTotal=2\r\n[File1]\r\nFilename=a.txt\r\n[File2]\r\nFilename=sub\\b.bin\r\n' >"$work/rel/version.ini"
python3 "$tool" release "$work/key.pem" "$work/rel" 7

openssl pkey -in "$work/key.pem" -pubout -out "$work/pub.pem"
openssl dgst -sha256 -verify "$work/pub.pem" -signature "$work/rel/version.ini.sig" "$work/rel/version.ini" \
  || fail "openssl does not verify the release"
for f in a.txt sub/b.bin; do
  hash=$(sha256sum "$work/rel/$f" | cut -d' ' -f1)
  grep -q "^Filehash=$hash"$'\r'"$" "$work/rel/version.ini" || fail "no Filehash $hash for $f"
  grep -q "^Filesize=$(stat -c %s "$work/rel/$f")"$'\r'"$" "$work/rel/version.ini" || fail "no Filesize for $f"
done
grep -q $'^Release=7\r$' "$work/rel/version.ini" || fail "no Release=7"

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
# sign takes the last number again (a mended release), not a lower one.
printf '; mended\r\n' >>"$work/rel/version.ini"
python3 "$tool" sign "$work/key.pem" "$work/rel" || fail "signing release 8 again"
sed -i 's/Release=8/Release=5/' "$work/rel/version.ini"
refused "signing release 5 after 8" sign "$work/key.pem" "$work/rel"
sed -i 's/Release=5/Release=8/' "$work/rel/version.ini"
# Another folder has a count of its own; the longest number is taken.
mkdir "$work/rel2" && cp "$work/rel/a.txt" "$work/rel2/" &&
  printf '[Count]\r\nTotal=1\r\n[File1]\r\nFilename=a.txt\r\n' >"$work/rel2/version.ini"
python3 "$tool" release "$work/key.pem" "$work/rel2" 999999999999999999 || fail "release of 18 digits in another folder"

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
echo "release tool output verifies with openssl; bad numbers and names leaving the folder are refused"
