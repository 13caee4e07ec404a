"""The volume slider: its track (speaker, play and stop spots, the groove)
and the thumb that runs along the groove."""

from PIL import Image, ImageChops, ImageDraw

from .containers import bmp8
from .layout import LAUNCHER
from .paint import (AMBER_RAMP, GOLD, GOLD_DEEP, GOLD_RAMP, INK, TAN, Vec, bevel, composite_at, grow, hgradient,
                    hline, mix, plate, rect_outline, shift, textured, vgradient)


def speaker(v, x0, cy):
    """Speaker with two sound waves, in amber."""
    body = v.poly([(x0, cy - 4), (x0 + 5, cy - 4), (x0 + 12, cy - 10), (x0 + 12, cy + 10),
                   (x0 + 5, cy + 4), (x0, cy + 4)])
    waves = v.mask()
    d = ImageDraw.Draw(waves)
    s = v.ss
    for r, wdt in ((6.5, 2.0), (11.5, 2.0)):
        cx = x0 + 12
        d.arc(((cx - r) * s, (cy - r) * s, (cx + r) * s, (cy + r) * s), -50, 50,
              fill=255, width=int(wdt * s))
    v.fill(v.grow(ImageChops.lighter(body, waves), 1.0), INK + (255,))
    v.fill(body, v.vgrad(cy - 10, cy + 10, GOLD_RAMP))
    v.fill(waves, v.vgrad(cy - 12, cy + 12, AMBER_RAMP))


GROOVE = (84, 5, 296, 33)       # the thumb's whole travel, 84..277 plus its width


def small_button(img, box):
    plate(img, box, (86, 60, 38), (48, 33, 21), (160, 118, 70), (22, 15, 9),
          gloss=[(0, (98, 68, 42)), (0.5, (70, 48, 30)), (1, (46, 31, 20))])


def slider_track():
    w, h = 322, 37
    img = vgradient(w, h, [(0, (30, 21, 14)), (1, (18, 13, 9))])
    img = textured(img, 5, depth=0.08)
    d = ImageDraw.Draw(img)
    bevel(d, (0, 0, w, h), (8, 6, 4), (72, 52, 32))
    # Speaker and the play/stop spots.
    v = Vec(w, h, 8)
    speaker(v, 5, h / 2.0)
    small_button(img, (38, 4, 60, 17))
    small_button(img, (38, 20, 60, 33))
    tri = v.poly([(46, 7.0), (53.5, 10.5), (46, 14.0)])
    sq = v.poly([(45.5, 23.5), (52.5, 23.5), (52.5, 29.5), (45.5, 29.5)])
    both = ImageChops.lighter(tri, sq)
    v.fill(shift(both, v.ss, v.ss), INK + (220,))
    v.fill(tri, v.vgrad(7, 14, AMBER_RAMP))
    v.fill(sq, v.vgrad(23.5, 29.5, AMBER_RAMP))
    # Minus and plus just outside the groove, where the thumb never covers them.
    mp = v.mask()
    md = ImageDraw.Draw(mp)
    s = v.ss
    md.rectangle((67 * s, 18 * s, 79 * s - 1, 20 * s - 1), fill=255)
    md.rectangle((301 * s, 18 * s, 313 * s - 1, 20 * s - 1), fill=255)
    md.rectangle((306 * s, 13 * s, 308 * s - 1, 25 * s - 1), fill=255)
    v.fill(v.grow(mp, 1.0), INK + (255,))
    v.fill(mp, v.vgrad(13, 25, GOLD_RAMP))
    img = composite_at(img, v.result(), (0, 0))
    groove(img, GROOVE)
    return img


def groove(img, box):
    """The framed channel the thumb runs along, with a rising volume wedge."""
    d = ImageDraw.Draw(img)
    x0, y0, x1, y1 = box
    bevel(d, grow(box, 1), mix(GOLD_DEEP, INK, 0.2), mix(GOLD, TAN, 0.4))
    bevel(d, box, INK, (64, 46, 28))
    inside = grow(box, -1)
    img.paste(vgradient(inside[2] - inside[0], inside[3] - inside[1],
                        [(0, (6, 4, 3)), (0.3, (14, 10, 7)), (1, (24, 17, 11))]), inside[:2])
    # The wedge grows toward "loud"; faint, so the thumb stays the focus.
    cy = (y0 + y1) // 2
    for seg in range(x0 + 4, x1 - 6, 4):
        t = (seg - x0 - 4) / float(x1 - x0 - 10)
        half = int(round(1 + t * 8))
        c = mix((40, 26, 14), (120, 66, 18), t)
        d.rectangle((seg, cy - half, seg + 2, cy + half), fill=c)
    # The rail itself: a dark slot with a lit lower edge.
    hline(d, x0 + 3, x1 - 4, cy - 1, INK)
    hline(d, x0 + 3, x1 - 4, cy, (10, 7, 4))
    hline(d, x0 + 3, x1 - 4, cy + 1, (98, 70, 40))


def slider_thumb():
    """An orange fader knob, full height so it overhangs the groove."""
    w, h = 19, 37
    img = Image.new('RGB', (w, h))
    # Cylindrical shading across, a gentle fall-off down.
    across = hgradient(w, h, [(0, (170, 74, 12)), (0.25, (246, 158, 58)), (0.45, (232, 130, 36)),
                              (1, (150, 62, 10))])
    down = vgradient(w, h, [(0, (255, 255, 255)), (0.5, (228, 228, 228)), (1, (196, 196, 196))])
    img.paste(ImageChops.multiply(across, down))
    d = ImageDraw.Draw(img)
    rect_outline(d, (0, 0, w, h), INK)
    bevel(d, (1, 1, w - 1, h - 1), (255, 214, 150), (100, 40, 6))
    bevel(d, (2, 2, w - 2, h - 2), (246, 176, 96), (150, 64, 12))
    for cx, cy in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        d.point((cx, cy), fill=(60, 26, 6))
    # Grip ridges and the centre mark.
    for y in (13, 16, 20, 23):
        hline(d, 5, w - 6, y, (112, 44, 6))
        hline(d, 5, w - 6, y + 1, (255, 206, 140))
    hline(d, 4, w - 5, 18, (60, 22, 2))
    return img


ASSETS = [bmp8(LAUNCHER + '/slider_track.bmp', slider_track, (322, 37)),
          bmp8(LAUNCHER + '/slider_thumb.bmp', slider_thumb, (19, 37))]
