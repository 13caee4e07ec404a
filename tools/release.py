#!/usr/bin/env python3
"""The publisher's release tool: signing keys and signed release folders.

  release.py keygen KEY.pem            new P-256 private key (keep it out of the repository);
                                       prints the public key for -DORVN_UPDATE_PUBKEY=
  release.py pubkey KEY.pem            prints that public key again
  release.py release KEY.pem FOLDER N  writes Filesize and Filehash of every [FileN] entry of
                                       FOLDER/version.ini from the files, Release=N in [Count],
                                       then signs it
  release.py sign KEY.pem FOLDER       signs FOLDER/version.ini as it stands (its Release too)

  release.py checkkey HEX              exits 0 when HEX is a P-256 public key as the updater takes
                                       it: 65 bytes, 04 first, a point on the curve

A release number is plain ASCII digits, at most 18 of them (what the updater reads). `release`
takes only a number above the last one signed with that key for that folder; `sign` takes that
number again but none below it. A number means one manifest: a number signed before, in any
folder, is signed again only for the same bytes (a mended release needs a new number). What the
key signed is recorded beside it, in KEY.pem.releases. A [FileN] name that leaves the folder
(.., a part of only dots and spaces, an absolute path, a drive or any colon, a symbolic link
out) is refused, never read.

The manifest is read as the updater reads it: UTF-16 or UTF-8 after their byte-order marks,
lines ended by LF (a CR before it is trimmed), the first section of a name and its first key.
A manifest without a mark is read in the player's code page, which differs between systems: it
must be ASCII, or it is refused.

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


def load_records(key_path):
    """{"folders": {real path: last number}, "signed": {number: SHA-256 of the manifest}}."""
    try:
        with open(records_path(key_path), encoding="utf-8") as f:
            records = json.load(f)
    except FileNotFoundError:
        records = {}
    if "folders" not in records:
        # Older records held the folders' numbers only.
        records = {"folders": records, "signed": {}}
    return records


def check_number(key_path, folder, number, data, above):
    """Exits unless number may be signed for folder with these manifest bytes."""
    records = load_records(key_path)
    last = records["folders"].get(os.path.realpath(folder), -1)
    if number < last or (above and number == last):
        sys.exit("release %d is %s release %d, signed last for %s"
                 % (number, "not above" if above else "below", last, os.path.realpath(folder)))
    digest = records["signed"].get(str(number))
    if digest is not None and digest != hashlib.sha256(data).hexdigest():
        sys.exit("release %d was signed before with other contents; give the changed release a new number" % number)


def record_release(key_path, folder, number, data):
    records = load_records(key_path)
    records["folders"][os.path.realpath(folder)] = number
    records["signed"][str(number)] = hashlib.sha256(data).hexdigest()
    write_atomically(records_path(key_path), (json.dumps(records, indent=1, sort_keys=True) + "\n").encode("utf-8"))


def sign(key_path, folder):
    manifest = os.path.join(folder, "version.ini")
    with open(manifest, "rb") as f:
        data = f.read()
    lines = read_manifest(data)[0]
    number = release_number(get_value(lines, "Count", "Release"))
    if number is None:
        sys.exit("version.ini has no [Count] Release of at most 18 ASCII digits")
    check_number(key_path, folder, number, data, above=False)
    signature = load_key(key_path).sign(data, ec.ECDSA(hashes.SHA256()))
    write_atomically(manifest + ".sig", signature)
    record_release(key_path, folder, number, data)


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


MARKS = ((b"\xff\xfe", "utf-16-le"), (b"\xef\xbb\xbf", "utf-8"))
# The updater trims what iswspace takes; past ASCII its tables are the platform's, so such a
# character at the edge of a name or value is refused rather than guessed.
ASCII_BLANKS = " \t\r\n\v\f"


def read_manifest(data):
    """(lines, mark, encoding) of manifest bytes, split as the updater splits them; exits when
    the updater would read them otherwise than this tool."""
    for mark, encoding in MARKS:
        if data.startswith(mark):
            try:
                text = data[len(mark):].decode(encoding)
            except UnicodeDecodeError:
                sys.exit("version.ini is not valid %s after its byte-order mark" % encoding)
            break
    else:
        mark, encoding = b"", "ascii"
        try:
            text = data.decode("ascii")
        except UnicodeDecodeError:
            sys.exit("version.ini without a byte-order mark must be ASCII: save it as UTF-8 with a mark")
    # LF ends a line, nothing else does (str.splitlines would also split at CR alone, U+0085, U+2028...).
    lines = [line[:-1] if line.endswith("\r") else line for line in text.split("\n")]
    if lines and lines[-1] == "":
        lines.pop()
    for line in lines:
        line = trim(line)
        if line and (line[0].isspace() or line[-1].isspace()):
            sys.exit("version.ini has a line with a blank the updater may read otherwise: %r" % line)
    return lines, mark, encoding


def write_manifest(lines, mark, encoding):
    return mark + ("\r\n".join(lines) + "\r\n").encode(encoding)


def trim(text):
    return text.strip(ASCII_BLANKS)


def parse_line(line):
    """("section", name) or ("key", name, value) or None, as the updater reads one line."""
    line = trim(line)
    if not line:
        return None
    if line[0] == "[":
        close = line.rfind("]")
        return ("section", trim(line[1:close] if close >= 0 else line[1:]))
    if "=" not in line:
        return None
    name, value = line.split("=", 1)
    if trim(value)[:1].isspace() or trim(name)[-1:].isspace():
        sys.exit("version.ini has a line with a blank the updater may read otherwise: %r" % line)
    return ("key", trim(name), trim(value))


def find(lines, section, key):
    """Index of the line of key in the first [section] (the updater looks no further), or None;
    and the index of that section's last line (None without the section)."""
    in_section, seen, last = False, False, None
    for i, line in enumerate(lines):
        parsed = parse_line(line)
        if parsed and parsed[0] == "section":
            if in_section:
                break
            in_section = not seen and parsed[1].upper() == section.upper()
            seen = seen or in_section
            if in_section:
                last = i
            continue
        if in_section:
            if parsed:
                last = i
            if parsed and parsed[1].upper() == key.upper():
                return i, last
    return None, last


def set_value(lines, section, key, value):
    """Sets key=value in the first [section], keeping everything else as it is."""
    at, last = find(lines, section, key)
    if at is not None:
        lines[at] = "%s=%s" % (parse_line(lines[at])[1], value)
        return
    if last is None:
        lines.append("[%s]" % section)
        last = len(lines) - 1
    lines.insert(last + 1, "%s=%s" % (key, value))


def get_value(lines, section, key):
    at = find(lines, section, key)[0]
    if at is None:
        return None
    value = parse_line(lines[at])[2]
    # Matching quotes around a value are not part of it.
    if len(value) >= 2 and value[0] in "\"'" and value[-1] == value[0]:
        value = value[1:-1]
    return value


def integer(text):
    """Leading blanks, a sign and the digits up to the first other character; 0 without digits."""
    m = re.match(r"[ \t]*([-+]?)([0-9]*)", text or "")
    value = int(m.group(2) or "0")
    return -value if m.group(1) == "-" else value


def release(key_path, folder, number):
    value = release_number(number)
    if value is None:
        sys.exit("release number must be 1 to 18 ASCII digits: %r" % number)
    manifest = os.path.join(folder, "version.ini")
    with open(manifest, "rb") as f:
        lines, mark, encoding = read_manifest(f.read())
    total = integer(get_value(lines, "Count", "Total"))
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
    data = write_manifest(lines, mark, encoding)
    # Refused before the folder changes.
    check_number(key_path, folder, value, data, above=True)
    write_atomically(manifest, data)
    sign(key_path, folder)


def check_public_key(text):
    """text in lower case when it is the hex of an uncompressed P-256 point; None otherwise."""
    if not re.fullmatch(r"04[0-9A-Fa-f]{128}", text):
        return None
    try:
        ec.EllipticCurvePublicKey.from_encoded_point(ec.SECP256R1(), bytes.fromhex(text))
    except ValueError:
        return None
    return text.lower()


def pubkey(key_path):
    key = load_key(key_path)
    if not isinstance(key, ec.EllipticCurvePrivateKey) or not isinstance(key.curve, ec.SECP256R1):
        sys.exit("%s is not a P-256 key, the only kind the updater takes" % key_path)
    text = check_public_key(public_hex(key))
    if text is None:
        sys.exit("%s does not give a valid P-256 public key" % key_path)
    print(text)


def main(argv):
    if len(argv) == 2 and argv[0] == "keygen":
        keygen(argv[1])
    elif len(argv) == 2 and argv[0] == "pubkey":
        pubkey(argv[1])
    elif len(argv) == 2 and argv[0] == "checkkey":
        if check_public_key(argv[1]) is None:
            sys.exit("not a P-256 public key (130 hex digits, 04 first, a point on the curve): %r" % argv[1])
    elif len(argv) == 3 and argv[0] == "sign":
        sign(argv[1], argv[2])
    elif len(argv) == 4 and argv[0] == "release":
        release(argv[1], argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
