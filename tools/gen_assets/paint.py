"""The shared palette and drawing kit every asset family paints with.

Colours, gradients and hash noise (never a library RNG, so output is
reproducible), the Nanum fonts, flat bevels, wells and plates, a supersampled
vector surface (Vec), and the pieces both program skins share.
"""

import math
import os

from PIL import Image, ImageChops, ImageDraw, ImageFont

FONT_DIR = '/usr/share/fonts/truetype/nanum'

# ---------------------------------------------------------------------------
# Colours.  Everything is warm: browns that sink to near-black, amber and
# orange for things you can touch, pale gold for highlights.

INK = (9, 6, 4)
SOOT = (18, 13, 9)
TAN = (120, 86, 52)
GOLD_DEEP = (128, 84, 30)
GOLD = (206, 152, 66)
GOLD_PALE = (250, 222, 150)
AMBER = (236, 150, 44)
PARCHMENT = (224, 208, 178)
LINK = (255, 176, 74)
WHITE = (255, 255, 255)

# ---------------------------------------------------------------------------
# Small colour and geometry helpers

def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else int(round(v))


def mix(a, b, t):
    return tuple(clamp(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def scale(c, f):
    """Multiply a colour: lightening this way keeps it warm instead of greying it."""
    return tuple(clamp(v * f) for v in c)


def grow(box, n):
    return (box[0] - n, box[1] - n, box[2] + n, box[3] + n)


def ramp(stops, t):
    """Colour at t in a list of (position, colour) stops."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, (t - p0) / float(p1 - p0) if p1 > p0 else 0)
    return stops[-1][1]


def vgradient(w, h, stops):
    col = Image.new('RGB', (1, h))
    for y in range(h):
        col.putpixel((0, y), ramp(stops, y / float(max(h - 1, 1))))
    return col.resize((w, h), Image.NEAREST)


def hgradient(w, h, stops):
    return vgradient(h, w, stops).transpose(Image.TRANSPOSE)


def hash_noise(w, h, seed):
    """White noise from an integer hash, so it never depends on a library's RNG."""
    out = bytearray(w * h)
    s = (seed * 2246822519) & 0xffffffff
    i = 0
    for y in range(h):
        ry = (y * 668265263 + s) & 0xffffffff
        for x in range(w):
            n = (x * 374761393 + ry) & 0xffffffff
            n = ((n ^ (n >> 13)) * 1274126177) & 0xffffffff
            out[i] = (n ^ (n >> 16)) & 0xff
            i += 1
    return Image.frombytes('L', (w, h), bytes(out))


def fractal_noise(w, h, seed, octaves=((24, 0.5), (6, 0.3), (2, 0.14), (1, 0.06))):
    """Soft value noise: coarse hashes blown up bicubically, then summed."""
    acc = None
    total = 0.0
    for k, (cell, weight) in enumerate(octaves):
        small = hash_noise(max(2, w // cell + 2), max(2, h // cell + 2), seed * 31 + k)
        layer = small.resize((w + 2 * cell, h + 2 * cell), Image.BICUBIC)
        layer = layer.crop((cell, cell, cell + w, cell + h))
        if acc is None:
            acc, total = layer, weight
        else:
            total += weight
            acc = Image.blend(acc, layer, weight / total)
    # Stretch the contrast back out; averaging pulls everything to the middle.
    lo, hi = acc.getextrema()
    span = max(hi - lo, 1)
    return acc.point(lambda v: clamp((v - lo) * 255.0 / span))


def textured(base, seed, depth=0.12, octaves=None):
    """Modulate an RGB image's brightness with fractal noise."""
    w, h = base.size
    n = fractal_noise(w, h, seed) if octaves is None else fractal_noise(w, h, seed, octaves)
    dark = base.point(lambda v: clamp(v * (1 - depth)))
    light = base.point(lambda v: clamp(v * (1 + depth)))
    return Image.composite(light, dark, n)


def vignette(img, strength=0.45, centre=(0.5, 0.45)):
    """Darken toward the corners with a smooth elliptical falloff."""
    w, h = img.size
    sw, sh = 64, 48
    m = Image.new('L', (sw, sh))
    cx, cy = centre
    for y in range(sh):
        for x in range(sw):
            dx = (x + 0.5) / sw - cx
            dy = (y + 0.5) / sh - cy
            d = min(1.0, math.sqrt(dx * dx * 2.2 + dy * dy * 2.6))
            m.putpixel((x, y), clamp(255 * (1 - strength * d * d)))
    m = m.resize((w, h), Image.BICUBIC)
    black = Image.new('RGB', (w, h), INK)
    return Image.composite(img, black, m)


# ---------------------------------------------------------------------------
# Fonts and text

def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size,
                              layout_engine=ImageFont.Layout.BASIC)


def text(img, xy, s, fnt, fill, shadow=INK, anchor='la', offset=(1, 1)):
    d = ImageDraw.Draw(img)
    if shadow is not None:
        d.text((xy[0] + offset[0], xy[1] + offset[1]), s, font=fnt, fill=shadow, anchor=anchor)
    d.text(xy, s, font=fnt, fill=fill, anchor=anchor)


def text_width(s, fnt):
    return fnt.getlength(s)


# ---------------------------------------------------------------------------
# Flat pixel drawing: bevels, frames, plates

def hline(d, x0, x1, y, c):
    d.line([(x0, y), (x1, y)], fill=c)


def bevel(d, box, light, dark, width=1):
    """One-pixel rings, light on top/left and dark on bottom/right: pass the
    colours the other way round for a sunken edge.  Lists give one per ring."""
    x0, y0, x1, y1 = box[0], box[1], box[2] - 1, box[3] - 1
    for i in range(width):
        lc = light[i] if isinstance(light, list) else light
        dc = dark[i] if isinstance(dark, list) else dark
        d.line([(x0 + i, y1 - i), (x0 + i, y0 + i), (x1 - i, y0 + i)], fill=lc)
        d.line([(x0 + i + 1, y1 - i), (x1 - i, y1 - i), (x1 - i, y0 + i + 1)], fill=dc)


def rect_outline(d, box, c):
    d.rectangle((box[0], box[1], box[2] - 1, box[3] - 1), outline=c)


def well(img, box, margin=3, fill=SOOT, gold=True):
    """A recessed frame just outside a child window's rectangle.

    From outside in: an optional gold trim, a sunken bevel, a black lip.  The
    inside is filled too, so the area still reads as a panel when the child
    window is missing or draws nothing."""
    d = ImageDraw.Draw(img)
    outer = grow(box, margin)
    if gold:
        o = grow(outer, 1)
        bevel(d, o, mix(GOLD_DEEP, INK, 0.15), mix(GOLD, GOLD_PALE, 0.15))
    # Sunken: shadow on the top and left walls, warm light on the far walls.
    bevel(d, outer, INK, mix(TAN, GOLD, 0.35))
    if margin >= 2:
        bevel(d, grow(outer, -1), (4, 3, 2), (60, 43, 28))
    for m in range(margin - 2):
        rect_outline(d, grow(box, margin - 2 - m), (5, 4, 3))
    inner = box
    grad = vgradient(inner[2] - inner[0], inner[3] - inner[1],
                     [(0, scale(fill, 0.6)), (0.3, fill), (1, scale(fill, 1.3))])
    img.paste(grad, inner[:2])


def plate(img, box, face_top, face_bottom, light, dark, edge=INK, gloss=None):
    """A raised, bevelled plate: black outline, two-step bevel, graded face."""
    d = ImageDraw.Draw(img)
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    stops = [(0, face_top), (1, face_bottom)] if gloss is None else gloss
    img.paste(vgradient(w - 4, h - 4, stops), (x0 + 2, y0 + 2))
    rect_outline(d, box, edge)
    bevel(d, grow(box, -1), light, dark)
    bevel(d, grow(box, -2), mix(light, face_top, 0.55), mix(dark, face_bottom, 0.5))
    # Knock the corners back so the plate does not look cut from paper.
    for cx, cy in ((x0, y0), (x1 - 1, y0), (x0, y1 - 1), (x1 - 1, y1 - 1)):
        d.point((cx, cy), fill=mix(edge, dark, 0.5))


# ---------------------------------------------------------------------------
# Supersampled vector drawing for emblems, icons and the logo

class Vec:
    """An RGBA surface drawn SS times larger and boxed down, for clean edges.

    Coordinates passed in are output pixels (floats welcome)."""

    def __init__(self, w, h, ss=8):
        self.w, self.h, self.ss = w, h, ss
        self.img = Image.new('RGBA', (w * ss, h * ss), (0, 0, 0, 0))

    def mask(self):
        return Image.new('L', self.img.size, 0)

    def _p(self, pts):
        return [(x * self.ss, y * self.ss) for x, y in pts]

    def poly(self, pts, m=None, value=255):
        m = m if m is not None else self.mask()
        ImageDraw.Draw(m).polygon(self._p(pts), fill=value)
        return m

    def ellipse(self, cx, cy, rx, ry=None, m=None, value=255):
        ry = rx if ry is None else ry
        m = m if m is not None else self.mask()
        s = self.ss
        ImageDraw.Draw(m).ellipse(((cx - rx) * s, (cy - ry) * s, (cx + rx) * s - 1, (cy + ry) * s - 1),
                                  fill=value)
        return m

    def ring(self, cx, cy, r_out, r_in):
        m = self.ellipse(cx, cy, r_out)
        return self.ellipse(cx, cy, r_in, m=m, value=0)

    def stroke(self, pts, width, m=None):
        """A polyline of the given width with round joints."""
        m = m if m is not None else self.mask()
        d = ImageDraw.Draw(m)
        s = self.ss
        d.line(self._p(pts), fill=255, width=max(1, int(round(width * s))), joint='curve')
        r = width * s / 2.0
        for x, y in self._p(pts):
            d.ellipse((x - r, y - r, x + r, y + r), fill=255)
        return m

    def grow(self, m, px):
        """Round dilation of a mask by px output pixels."""
        k = int(round(px * self.ss))
        out = m.copy()
        for dy in range(-k, k + 1):
            for dx in range(-k, k + 1):
                if dx * dx + dy * dy <= k * k and (dx or dy):
                    out = ImageChops.lighter(out, shift(m, dx, dy))
        return out

    def fill(self, m, paint):
        """Paint a colour or an RGB(A) image of surface size through a mask."""
        if isinstance(paint, tuple):
            layer = Image.new('RGBA', self.img.size, paint if len(paint) == 4 else paint + (255,))
        else:
            layer = paint.convert('RGBA')
        a = layer.getchannel('A')
        layer.putalpha(ImageChops.multiply(a, m))
        self.img = Image.alpha_composite(self.img, layer)

    def vgrad(self, y0, y1, stops):
        """A vertical gradient the size of the surface, stops spanning y0..y1."""
        h = self.img.size[1]
        col = Image.new('RGB', (1, h))
        for y in range(h):
            t = (y / float(self.ss) - y0) / float(max(y1 - y0, 1e-6))
            col.putpixel((0, y), ramp(stops, min(1.0, max(0.0, t))))
        return col.resize(self.img.size, Image.NEAREST)

    def radial(self, cx, cy, r, stops):
        """A radial gradient centred on (cx, cy), built small and scaled up."""
        w, h = self.w * 4, self.h * 4
        g = Image.new('RGB', (w, h))
        for y in range(h):
            for x in range(w):
                t = math.hypot((x + 0.5) / 4.0 - cx, (y + 0.5) / 4.0 - cy) / r
                g.putpixel((x, y), ramp(stops, min(1.0, t)))
        return g.resize(self.img.size, Image.BICUBIC)

    def result(self):
        # Box filtering in premultiplied space keeps dark fringes off the edges.
        return self.img.convert('RGBa').resize((self.w, self.h), Image.BOX).convert('RGBA')


def shift(m, dx, dy):
    """Move a mask without wrapping it around the edges."""
    out = Image.new(m.mode, m.size, 0)
    out.paste(m, (dx, dy))
    return out


def bezier(p0, p1, p2, p3, n=24):
    pts = []
    for i in range(n + 1):
        t = i / float(n)
        u = 1 - t
        pts.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                    u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return pts


def path(start, curves, n=24):
    """Join cubic segments given as (c1, c2, end) into one point list."""
    pts = [start]
    cur = start
    for c1, c2, end in curves:
        pts += bezier(cur, c1, c2, end, n)[1:]
        cur = end
    return pts


def scale_pts(pts, s, origin, to=None, sy=None):
    ox, oy = origin
    tx, ty = to if to is not None else origin
    sy = s if sy is None else sy
    return [(tx + (x - ox) * s, ty + (y - oy) * sy) for x, y in pts]


def star_pts(cx, cy, r_out, r_in, points=4, rot=-math.pi / 2):
    pts = []
    for i in range(points * 2):
        r = r_out if i % 2 == 0 else r_in
        a = rot + i * math.pi / points
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def composite_at(base, layer, xy):
    """Alpha-composite an RGBA layer onto an RGB image at xy."""
    rgba = base.convert('RGBA')
    rgba.alpha_composite(layer, dest=xy)
    return rgba.convert('RGB')


# Metal and glow ramps for Vec.vgrad and friends.
GOLD_RAMP = [(0, GOLD_PALE), (0.45, GOLD), (1, GOLD_DEEP)]
AMBER_RAMP = [(0, (255, 236, 170)), (0.5, AMBER), (1, (170, 70, 12))]


# ---------------------------------------------------------------------------
# Type and pieces both program skins use

BODY = font('NanumGothic.ttf', 12)
BODY_BOLD = font('NanumGothicBold.ttf', 12)
HEADING = font('NanumSquareB.ttf', 16)
TAGLINE = font('NanumSquareR.ttf', 12)


def skin_background(w, h, seed):
    """Dark tooled-leather ground with a warm centre."""
    base = vgradient(w, h, [(0, (52, 36, 24)), (0.5, (44, 31, 21)), (1, (30, 21, 14))])
    base = textured(base, seed, depth=0.16)
    grain = fractal_noise(w, h, seed + 7, octaves=((1, 1.0),))
    fine = Image.composite(base.point(lambda v: clamp(v * 1.05)), base.point(lambda v: clamp(v * 0.95)), grain)
    return vignette(fine, 0.55)


def window_border(img):
    """Gold-trimmed edge of the borderless window."""
    d = ImageDraw.Draw(img)
    box = (0, 0) + img.size
    rect_outline(d, box, INK)
    bevel(d, grow(box, -1), GOLD_PALE, GOLD_DEEP)
    bevel(d, grow(box, -2), GOLD, (70, 46, 18))
    rect_outline(d, grow(box, -3), (14, 10, 6))


def title_band(img, bottom):
    """Darker strip across the top, closed by a gold rule the banner hangs from."""
    w = img.size[0]
    band = img.crop((0, 0, w, bottom))
    shadow = vgradient(w, bottom, [(0, (150, 150, 150)), (0.8, (190, 190, 190)), (1, (150, 150, 150))])
    img.paste(ImageChops.multiply(band, shadow), (0, 0))
    d = ImageDraw.Draw(img)
    hline(d, 0, w - 1, bottom - 1, INK)
    hline(d, 0, w - 1, bottom, mix(GOLD, GOLD_PALE, 0.1))
    hline(d, 0, w - 1, bottom + 1, GOLD_DEEP)
    hline(d, 0, w - 1, bottom + 2, (20, 14, 9))


def ornament_rule(img, x0, x1, y, fade_left=False, fade_right=True):
    """A one-pixel engraved gold line that fades out toward one or both ends."""
    d = ImageDraw.Draw(img)
    for x in range(x0, x1):
        t = (x - x0) / float(max(x1 - x0 - 1, 1))
        a = 1.0
        if fade_right:
            a = min(a, 1.0 - t * t)
        if fade_left:
            a = min(a, 1.0 - (1 - t) * (1 - t))
        under = img.getpixel((x, y))
        d.point((x, y), fill=mix(under, GOLD, 0.85 * a))
        d.point((x, y + 1), fill=mix(img.getpixel((x, y + 1)), INK, 0.7 * a))
        d.point((x, y - 1), fill=mix(img.getpixel((x, y - 1)), GOLD_DEEP, 0.25 * a))


def diamond(img, cx, cy, r, fill=GOLD, edge=INK):
    v = Vec(2 * r + 4, 2 * r + 4)
    c = r + 2
    m = v.poly([(c, c - r), (c + r, c), (c, c + r), (c - r, c)])
    v.fill(v.grow(m, 1), edge + (255,))
    v.fill(m, v.vgrad(c - r, c + r, [(0, GOLD_PALE), (0.5, fill), (1, GOLD_DEEP)]))
    return composite_at(img, v.result(), (cx - c, cy - c))


