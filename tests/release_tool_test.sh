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

# One byte changed after signing no longer verifies.
sed -i 's/Release=7/Release=8/' "$work/rel/version.ini"
if openssl dgst -sha256 -verify "$work/pub.pem" -signature "$work/rel/version.ini.sig" "$work/rel/version.ini" >/dev/null; then
  fail "a changed manifest still verifies"
fi
echo "release tool output verifies with openssl"
