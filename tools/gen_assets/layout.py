"""Where things are: output folders and the programs' window geometry.

Rectangles are (left, top, right, bottom) with right/bottom exclusive, in the
coordinates of the window they belong to.  The skins are drawn around them.
"""

import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

LAUNCHER = 'resources/launcher/art'
UPDATER = 'resources/updater/art'
INSTALLER = 'resources/installer/art'

# Child windows of the launcher's view.
BANNER = (90, 65, 566, 130)
SERVERS = (110, 145, 430, 420)
FOLDERS = (7, 147, 92, 465)
NEWS = (445, 145, 625, 422)
LOGO = (15, 20, 245, 60)
VOLUME = (110, 427, 432, 464)
SETUP = (445, 435, 533, 470)
EXIT = (537, 435, 625, 470)
VERSION_AT = (460, 445)

# Updater: start.exe prints its status in black here.
STATUS_AT = (150, 210)
STATUS_FIELD = (140, 200, 480, 230)


# ---------------------------------------------------------------------------
# The information panel's link lines come from the table the view compiles
# its hot spots from, so a text can never sit over another line's link.

INFO_LINKS_FILE = 'launcher/InfoLinks.inc'

_ROW = re.compile(r'INFO_LINK\(\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\w+)\s*,\s*"([^"\\]+)"\s*\)$')


def parse_info_links(source):
    """[(box, target macro, label)] from the text of InfoLinks.inc.

    Every line that is not blank or a // comment must be one row; anything
    else is an error rather than a silently missing link."""
    rows = []
    for n, line in enumerate(source.splitlines(), 1):
        line = line.split('//', 1)[0].strip()
        if not line:
            continue
        m = _ROW.match(line)
        if not m:
            raise ValueError('%s:%d: not an INFO_LINK row: %s' % (INFO_LINKS_FILE, n, line))
        box = tuple(int(v) for v in m.group(1, 2, 3, 4))
        if box[0] >= box[2] or box[1] >= box[3]:
            raise ValueError('%s:%d: empty rectangle %r' % (INFO_LINKS_FILE, n, box))
        rows.append((box, m.group(5), m.group(6)))
    if not rows:
        raise ValueError('%s: no INFO_LINK rows' % INFO_LINKS_FILE)
    return rows


def _read_info_links():
    with open(os.path.join(ROOT, INFO_LINKS_FILE), encoding='utf-8') as f:
        return parse_info_links(f.read())


INFO_LINKS = _read_info_links()
