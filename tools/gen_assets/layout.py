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

# The launcher view's geometry comes from the table the view compiles.
LAYOUT_FILE = 'launcher/Layout.inc'

_LAYOUT_ROW = re.compile(r'LAYOUT_(RECT|POINT)\(\s*(\w+)((?:\s*,\s*\d+)+)\s*\)$')


def parse_layout(source):
    """{name: (left, top, right, bottom) or (x, y)} from the text of Layout.inc."""
    rows = {}
    for n, line in enumerate(source.splitlines(), 1):
        line = line.split('//', 1)[0].strip()
        if not line:
            continue
        m = _LAYOUT_ROW.match(line)
        values = tuple(int(v) for v in m.group(3).split(',')[1:]) if m else ()
        if not m or len(values) != (4 if m.group(1) == 'RECT' else 2):
            raise ValueError('%s:%d: not a LAYOUT_RECT or LAYOUT_POINT row: %s' % (LAYOUT_FILE, n, line))
        if len(values) == 4 and (values[0] >= values[2] or values[1] >= values[3]):
            raise ValueError('%s:%d: empty rectangle %r' % (LAYOUT_FILE, n, values))
        rows[m.group(2)] = values
    return rows


def _read_layout():
    with open(os.path.join(ROOT, LAYOUT_FILE), encoding='utf-8') as f:
        return parse_layout(f.read())


VIEW = _read_layout()
BANNER = VIEW['Banner']
SERVERS = VIEW['ServerList']
FOLDERS = VIEW['FolderBar']
NEWS = VIEW['News']
LOGO = VIEW['Logo']
VOLUME = VIEW['Volume']
SETUP = VIEW['SetupButton']
EXIT = VIEW['ExitButton']
VERSION_AT = VIEW['Version']


def centre(name):
    """Where a hand clicks a rectangle of the view, as the tests do."""
    left, top, right, bottom = VIEW[name]
    return (left + right) // 2, (top + bottom) // 2


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


if __name__ == '__main__':
    # For scripts: "layout.py centre ExitButton" prints "581 452".
    import sys
    if len(sys.argv) != 3 or sys.argv[1] != 'centre':
        sys.exit('usage: layout.py centre NAME')
    print('%d %d' % centre(sys.argv[2]))
