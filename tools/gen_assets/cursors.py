"""The launcher's cursors, pixel by pixel: the hand over links and tiles,
and the two-headed arrow while dragging the slider."""

from .containers import cursor
from .layout import LAUNCHER

# X is the black outline, o the white fill.

HAND = [
    '......XXX............',
    '.....XoooX...........',
    '.....XoooX...........',
    '.....XoooX...........',
    '.....XoooX...........',
    '.....XoooX...........',
    '.....XoooX...........',
    '.....XoooXXXX........',
    '.....XoooXoooXXXX....',
    '.....XoooXoooXoooX...',
    '.....XoooXoooXoooXXX.',
    '.....XoooXoooXoooXooX',
    '.XX..XoooXoooXoooXooX',
    'XooX.XooooooooooooooX',
    'XoooXoooooooooooooooX',
    '.XooooooooooooooooooX',
    '..XoooooooooooooooooX',
    '..XoooooooooooooooooX',
    '...XooooooooooooooooX',
    '...XoooooooooooooooX.',
    '....XooooooooooooooX.',
    '....XooooooooooooooX.',
    '....XooooooooooooooX.',
    '....XXXXXXXXXXXXXXXX.',
]
HAND_HOTSPOT = (7, 0)


def double_arrow(length=29, half=5):
    """Horizontal two-headed arrow, 2*half+1 rows tall, one white pixel of shaft."""
    rows = []
    for r in range(2 * half + 1):
        k = abs(r - half)
        line = ['.'] * length
        for mirror in (False, True):
            def put(c, ch):
                line[length - 1 - c if mirror else c] = ch
            put(k, 'X')
            for c in range(k + 1, half + 1):
                put(c, 'o')
            if k >= 1:
                put(half + 1, 'X')
            else:
                put(half + 1, 'o')
        for c in range(half + 2, length - half - 2):
            line[c] = 'o' if k == 0 else 'X' if k == 1 else '.'
        rows.append(''.join(line))
    return rows


TRACK = double_arrow()


def place(rows, x, y, size=32):
    """Put ASCII art at (x, y) inside a size x size grid."""
    grid = ['.' * size] * y
    for r in rows:
        grid.append(('.' * x + r).ljust(size, '.')[:size])
    return grid[:size]


def hand_cursor():
    return place(HAND, 0, 0), HAND_HOTSPOT


def track_cursor():
    # Centre the arrow's middle pixel on (16, 16).
    rows = place(TRACK, 16 - len(TRACK[0]) // 2, 16 - len(TRACK) // 2)
    return rows, (16, 16)


ASSETS = [cursor(LAUNCHER + '/select.cur', *hand_cursor()),
          cursor(LAUNCHER + '/track.cur', *track_cursor())]
