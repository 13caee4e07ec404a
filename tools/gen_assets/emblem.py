"""The Orvane emblem and word mark.

The emblem, a gold ring with compass spikes around an amber star, is the "O"
of the logo, the program icon and the updater's seal.
"""

import math
import os

from PIL import ImageChops, ImageDraw, ImageFilter, ImageFont

from .layout import LOGO
from .paint import AMBER_RAMP, FONT_DIR, GOLD, GOLD_DEEP, GOLD_PALE, GOLD_RAMP, INK, Vec, shift, star_pts


def draw_emblem(v, cx, cy, r, outline=1.0, detail=True):
    """Draw the emblem into a Vec; r is the ring's outer radius."""
    spikes = v.mask()
    if detail:
        for i in range(4):
            a = i * math.pi / 2 - math.pi / 2
            tip = (cx + math.cos(a) * r * 1.22, cy + math.sin(a) * r * 1.22)
            sx, sy = -math.sin(a) * r * 0.16, math.cos(a) * r * 0.16
            base = (cx + math.cos(a) * r * 0.9, cy + math.sin(a) * r * 0.9)
            v.poly([tip, (base[0] + sx, base[1] + sy), (base[0] - sx, base[1] - sy)], m=spikes)
    ring = v.ring(cx, cy, r, r * 0.70)
    star = v.poly(star_pts(cx, cy, r * 0.56, r * 0.17, 4))
    if detail:
        v.poly(star_pts(cx, cy, r * 0.36, r * 0.11, 4, rot=-math.pi / 4), m=star)
    everything = ImageChops.lighter(ImageChops.lighter(spikes, ring), star)
    v.fill(v.grow(everything, outline), INK + (255,))
    v.fill(spikes, v.vgrad(cy - r * 1.2, cy + r * 1.2, [(0, GOLD_PALE), (0.5, GOLD), (1, GOLD_DEEP)]))
    v.fill(ring, v.vgrad(cy - r, cy + r, GOLD_RAMP))
    # A bright lip on the inner bottom and outer top edges sells the metal.
    lip = ImageChops.subtract(ring, shift(ring, 0, int(v.ss * max(0.6, r * 0.06))))
    v.fill(lip, (255, 246, 210, 150))
    v.fill(star, v.vgrad(cy - r * 0.56, cy + r * 0.56, AMBER_RAMP))


# ---------------------------------------------------------------------------
# The word mark

LOGO_PAD = 5


def logo_layer(w=LOGO[2] - LOGO[0], h=LOGO[3] - LOGO[1], size=42, tracking=5):
    """'ORVANE' with the emblem standing in for the O, filling a w x h box.

    The layer carries LOGO_PAD spare pixels on each side for glow and shadow."""
    ss = 4
    pad = LOGO_PAD
    fnt = ImageFont.truetype(os.path.join(FONT_DIR, 'NanumMyeongjoBold.ttf'), size * ss,
                             layout_engine=ImageFont.Layout.BASIC)
    word = 'RVANE'
    cap = -fnt.getbbox('R', anchor='ls')[1] / float(ss)
    r = cap / 2.0
    v = Vec(w + 2 * pad, h + 2 * pad, ss)
    cy = pad + h / 2.0
    ex = pad + r * 1.22
    letters = v.mask()
    d = ImageDraw.Draw(letters)
    x = ex + r * 1.22 + 5
    baseline = cy + cap / 2.0
    for ch in word:
        d.text((x * ss, baseline * ss), ch, font=fnt, fill=255, anchor='ls')
        x += fnt.getlength(ch) / ss + tracking
    # Warm glow and a drop shadow under everything, then outline, metal, lip.
    glow = letters.filter(ImageFilter.GaussianBlur(ss * 3))
    v.fill(glow.point(lambda a: a * 0.45), (200, 110, 20, 255))
    shadow = shift(v.grow(letters, 1.4), 2 * ss, 2 * ss).filter(ImageFilter.GaussianBlur(ss))
    v.fill(shadow, (0, 0, 0, 200))
    v.fill(v.grow(letters, 1.3), INK + (255,))
    v.fill(letters, v.vgrad(baseline - cap, baseline,
                            [(0, GOLD_PALE), (0.42, (240, 188, 92)), (0.5, GOLD), (1, GOLD_DEEP)]))
    lip = ImageChops.subtract(letters, shift(letters, ss, ss))
    v.fill(lip, (255, 248, 220, 170))
    draw_emblem(v, ex, cy, r, outline=1.3)
    return v.result()


