#!/usr/bin/env python3
"""The publisher's release tool: signing keys and signed release folders.

  release.py keygen KEY.pem            new P-256 private key (keep it out of the repository);
                                       prints the public key for -DORVN_UPDATE_PUBKEY=
  release.py pubkey KEY.pem            prints that public key again
  release.py release KEY.pem FOLDER N  writes Filesize and Filehash of every [FileN] entry of
                                       FOLDER/version.ini from the files, Release=N in [Count],
                                       then signs it
  release.py sign KEY.pem FOLDER       signs FOLDER/version.ini as it stands

The signature FOLDER/version.ini.sig is DER ECDSA over SHA-256 of the manifest's bytes, the same
as `openssl dgst -sha256 -sign KEY.pem -out version.ini.sig version.ini`.
"""
import hashlib
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


def sign(key_path, folder):
    manifest = os.path.join(folder, "version.ini")
    with open(manifest, "rb") as f:
        data = f.read()
    signature = load_key(key_path).sign(data, ec.ECDSA(hashes.SHA256()))
    write_atomically(manifest + ".sig", signature)


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
    if not re.fullmatch(r"\d+", number):
        sys.exit("release number must be a whole number")
    manifest = os.path.join(folder, "version.ini")
    # The updater reads the manifest in the system code page; bytes pass through unchanged.
    with open(manifest, "rb") as f:
        lines = f.read().decode("latin-1").splitlines()
    total = int(get_value(lines, "Count", "Total") or "0")
    for i in range(1, total + 1):
        section = f"File{i}"
        name = get_value(lines, section, "Filename")
        if not name:
            continue
        path = os.path.join(folder, *re.split(r"[\\/]", name))
        with open(path, "rb") as f:
            data = f.read()
        set_value(lines, section, "Filesize", str(len(data)))
        set_value(lines, section, "Filehash", hashlib.sha256(data).hexdigest())
    set_value(lines, "Count", "Release", number)
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
