#!/usr/bin/env python3
"""The publisher's release tool: signing keys and signed release folders.

  release.py keygen KEY.pem            new P-256 private key (keep it out of the repository);
                                       prints the public key for -DORVN_UPDATE_PUBKEY=
  release.py pubkey KEY.pem            prints that public key again
  release.py release KEY.pem FOLDER N  writes Filesize and Filehash of every [FileN] entry of
                                       FOLDER/version.ini from the files, Release=N in [Count],
                                       then signs it
  release.py sign KEY.pem FOLDER       signs FOLDER/version.ini as it stands (its Release too)

A release number is plain ASCII digits, at most 18 of them (what the updater reads). `release`
takes only a number above the last one signed with that key for that folder (recorded in
KEY.pem.releases, by the folder's absolute path); `sign` takes that number again (a release
mended after `release`) but none below it. A [FileN] name that leaves the folder (.., a part of
only dots and spaces, an absolute path, a drive or any colon, a symbolic link out) is refused,
never read.

The signature FOLDER/version.ini.sig is DER ECDSA over SHA-256 of the manifest's bytes, the same
as `openssl dgst -sha256 -sign KEY.pem -out version.ini.sig version.ini`.
"""
import hashlib
import json
import os
import re
import sys

from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec


def load_key(path):
    with open(path, "rb") as f:
        return serialization.load_pem_private_key(f.read(), password=None)


def public_hex(key):
    point = key.public_key().public_bytes(serialization.Encoding.X962, serialization.PublicFormat.UncompressedPoint)
    return point.hex()


def keygen(path):
    key = ec.generate_private_key(ec.SECP256R1())
    pem = key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                            serialization.NoEncryption())
    # Readable by its owner only; never overwrites a key.
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600)
    with os.fdopen(fd, "wb") as f:
        f.write(pem)
    print(public_hex(key))


def write_atomically(path, data):
    # Whoever waits for the file sees it whole or not at all.
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def release_number(text):
    """The release number in text, or None: ASCII digits only (str.isdigit takes other scripts' too)."""
    if not re.fullmatch(r"[0-9]{1,18}", text or ""):
        return None
    return int(text)


def records_path(key_path):
    return key_path + ".releases"


def last_release(key_path, folder):
    """The last release signed with this key for this folder, or -1."""
    try:
        with open(records_path(key_path), encoding="utf-8") as f:
            records = json.load(f)
    except FileNotFoundError:
        return -1
    return records.get(os.path.realpath(folder), -1)


def record_release(key_path, folder, number):
    path = records_path(key_path)
    try:
        with open(path, encoding="utf-8") as f:
            records = json.load(f)
    except FileNotFoundError:
        records = {}
    records[os.path.realpath(folder)] = number
    write_atomically(path, (json.dumps(records, indent=1, sort_keys=True) + "\n").encode("utf-8"))


def sign(key_path, folder):
    manifest = os.path.join(folder, "version.ini")
    with open(manifest, "rb") as f:
        data = f.read()
    number = release_number(get_value(data.decode("latin-1").splitlines(), "Count", "Release"))
    if number is None:
        sys.exit("version.ini has no [Count] Release of at most 18 ASCII digits")
    last = last_release(key_path, folder)
    if number < last:
        sys.exit("release %d is below release %d, signed last for %s" % (number, last, os.path.realpath(folder)))
    signature = load_key(key_path).sign(data, ec.ECDSA(hashes.SHA256()))
    write_atomically(manifest + ".sig", signature)
    record_release(key_path, folder, number)


def file_in_folder(folder, name):
    """The real path of a manifest file name inside folder, or None when the name leaves it."""
    parts = re.split(r"[\\/]", name)
    # Windows drops a name's trailing dots and spaces: "..." or ".. " would be ".." there.
    if not name or ":" in name or "\0" in name or name[0] in "\\/" or any(p and not p.strip(". ") for p in parts):
        return None
    root = os.path.realpath(folder)
    path = os.path.realpath(os.path.join(root, *parts))
    if path == root or os.path.commonpath([root, path]) != root:
        return None
    return path


def set_value(lines, section, key, value):
    """Sets key=value in [section] of INI lines, keeping everything else as it is."""
    current, last = None, None
    for i, line in enumerate(lines):
        m = re.match(r"\s*\[([^\]]*)\]", line)
        if m:
            current = m.group(1).strip().lower()
            if current == section.lower():
                last = i
            continue
        if current == section.lower():
            if line.strip():
                last = i
            name = line.split("=", 1)[0].strip()
            if "=" in line and name.lower() == key.lower():
                lines[i] = f"{name}={value}"
                return
    if last is None:
        lines.append(f"[{section}]")
        last = len(lines) - 1
    lines.insert(last + 1, f"{key}={value}")


def get_value(lines, section, key):
    current = None
    for line in lines:
        m = re.match(r"\s*\[([^\]]*)\]", line)
        if m:
            current = m.group(1).strip().lower()
        elif current == section.lower() and "=" in line:
            name, value = line.split("=", 1)
            if name.strip().lower() == key.lower():
                return value.strip()
    return None


def release(key_path, folder, number):
    value = release_number(number)
    if value is None:
        sys.exit("release number must be 1 to 18 ASCII digits: %r" % number)
    last = last_release(key_path, folder)
    if value <= last:
        sys.exit("release %d is not above release %d, signed last for %s" % (value, last, os.path.realpath(folder)))
    manifest = os.path.join(folder, "version.ini")
    # The updater reads the manifest in the system code page; bytes pass through unchanged.
    with open(manifest, "rb") as f:
        lines = f.read().decode("latin-1").splitlines()
    total = int(get_value(lines, "Count", "Total") or "0")
    # Every name is checked before anything is read or written.
    paths = {}
    for i in range(1, total + 1):
        name = get_value(lines, f"File{i}", "Filename")
        if not name:
            continue
        paths[i] = file_in_folder(folder, name)
        if paths[i] is None:
            sys.exit("[File%d] %r leaves the release folder" % (i, name))
    for i, path in paths.items():
        with open(path, "rb") as f:
            data = f.read()
        set_value(lines, f"File{i}", "Filesize", str(len(data)))
        set_value(lines, f"File{i}", "Filehash", hashlib.sha256(data).hexdigest())
    set_value(lines, "Count", "Release", str(value))
    write_atomically(manifest, ("\r\n".join(lines) + "\r\n").encode("latin-1"))
    sign(key_path, folder)


def main(argv):
    if len(argv) == 2 and argv[0] == "keygen":
        keygen(argv[1])
    elif len(argv) == 2 and argv[0] == "pubkey":
        print(public_hex(load_key(argv[1])))
    elif len(argv) == 3 and argv[0] == "sign":
        sign(argv[1], argv[2])
    elif len(argv) == 4 and argv[0] == "release":
        release(argv[1], argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
