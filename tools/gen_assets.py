#!/usr/bin/python3
"""Draws every picture, icon and cursor that Orvn.exe and start.exe compile in.

    /usr/bin/python3 tools/gen_assets.py            # rewrite resources/*/art/
    /usr/bin/python3 tools/gen_assets.py --out DIR  # write the same tree under DIR
    /usr/bin/python3 tools/gen_assets.py --check    # regenerate into a temp dir and
                                                    # compare bytes with the committed files

Needs Debian's python3-pil and fonts-nanum. The output is byte-for-byte
reproducible: no timestamps, noise comes from an integer hash, and the BMP, ICO
and CUR containers are packed here rather than by Pillow's writers.  Normal
runs also drop PNG previews into /tmp/art_preview/ for eyeballing.
"""

import argparse
import io
import math
import os
import shutil
import struct
import sys
import tempfile

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FONT_DIR = '/usr/share/fonts/truetype/nanum'
PREVIEW_DIR = '/tmp/art_preview'

LAUNCHER = 'resources/launcher/art'
UPDATER = 'resources/updater/art'

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

# Child-window rectangles of the launcher, (left, top, right, bottom) with
# right/bottom exclusive.  The skin is drawn around these.
BANNER = (90, 65, 566, 130)
SERVERS = (110, 145, 430, 420)
FOLDERS = (7, 147, 92, 465)
NEWS = (445, 145, 625, 422)
LINK_HOME = (443, 390, 626, 405)
LINK_PORTAL = (443, 407, 626, 422)
LOGO = (15, 20, 245, 60)
VOLUME = (110, 427, 432, 464)
SETUP = (445, 435, 533, 470)
EXIT = (537, 435, 625, 470)
VERSION_AT = (460, 445)

# Updater: start.exe prints its status in black here.
STATUS_AT = (150, 210)
STATUS_FIELD = (140, 200, 480, 230)


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


# ---------------------------------------------------------------------------
# The Orvane emblem: a gold ring with compass spikes around an amber star.
# It is the "O" of the logo, the program icon and the updater's seal.

GOLD_RAMP = [(0, GOLD_PALE), (0.45, GOLD), (1, GOLD_DEEP)]
AMBER_RAMP = [(0, (255, 236, 170)), (0.5, AMBER), (1, (170, 70, 12))]


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


# ---------------------------------------------------------------------------
# 8-bit reduction

def to_8bit(img, colors=256):
    """Median-cut palette refined by a few k-means passes; no dithering, so
    flat fills stay flat and the gradients have colours enough not to band."""
    return img.quantize(colors, method=Image.Quantize.MEDIANCUT, kmeans=3, dither=Image.Dither.NONE)


# ---------------------------------------------------------------------------
# File containers

def _dib_header(w, h, bpp, image_size, colors_used=0):
    return struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, 0, image_size, 2835, 2835, colors_used, 0)


def _bottom_up(data, w_bytes, h, stride):
    pad = b'\0' * (stride - w_bytes)
    return b''.join(data[y * w_bytes:(y + 1) * w_bytes] + pad for y in range(h - 1, -1, -1))


def _file_header(payload_offset, total):
    return struct.pack('<2sIHHI', b'BM', total, 0, 0, payload_offset)


def bmp8_bytes(img):
    """8-bit BMP: only the palette entries actually used are written."""
    assert img.mode == 'P'
    w, h = img.size
    used = sorted(set(img.getdata()))
    # Renumber densely so biClrUsed covers exactly the colours in use.
    remap = {old: new for new, old in enumerate(used)}
    pal = img.getpalette()
    lut = [remap.get(i, 0) for i in range(256)]
    data = img.point(lut).tobytes()
    stride = (w + 3) & ~3
    pixels = _bottom_up(data, w, h, stride)
    palette = b''.join(struct.pack('<BBBB', pal[3 * i + 2], pal[3 * i + 1], pal[3 * i], 0) for i in used)
    info = _dib_header(w, h, 8, len(pixels), len(used))
    off = 14 + len(info) + len(palette)
    return _file_header(off, off + len(pixels)) + info + palette + pixels


def bmp24_bytes(img):
    img = img.convert('RGB')
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    pixels = _bottom_up(img.tobytes('raw', 'BGR'), w * 3, h, stride)
    info = _dib_header(w, h, 24, len(pixels))
    off = 14 + len(info)
    return _file_header(off, off + len(pixels)) + info + pixels


def _and_mask(bits, w, h):
    """1 = transparent; rows padded to 32 bits, bottom-up."""
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if bits[y * w + x]:
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return bytes(out)


def ico_bytes(images):
    """Classic icon: each entry a 32-bpp DIB with alpha plus an AND mask."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for im in sorted(images, key=lambda i: -i.size[0]):
        im = im.convert('RGBA')
        w, h = im.size
        xor = _bottom_up(im.tobytes('raw', 'BGRA'), w * 4, h, w * 4)
        alpha = im.getchannel('A').tobytes()
        mask = _and_mask([a == 0 for a in alpha], w, h)
        blob = _dib_header(w, h * 2, 32, len(xor) + len(mask)) + xor + mask
        entries.append(struct.pack('<BBBBHHII', w & 0xff, h & 0xff, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack('<HHH', 0, 1, len(images)) + b''.join(entries) + b''.join(blobs)


def cur_bytes(rows, hotspot, size=32):
    """Monochrome cursor from ASCII art: 'X' black, 'o' white, anything else clear."""
    w = h = size
    grid = [r.ljust(w, '.') for r in rows] + ['.' * w] * (h - len(rows))
    stride = ((w + 31) // 32) * 4
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if grid[y][x] == 'o':
                row[x >> 3] |= 0x80 >> (x & 7)
        xor += row
    clear = [grid[y][x] not in 'Xo' for y in range(h) for x in range(w)]
    mask = _and_mask(clear, w, h)
    palette = struct.pack('<BBBB', 0, 0, 0, 0) + struct.pack('<BBBB', 255, 255, 255, 0)
    blob = _dib_header(w, h * 2, 1, len(xor) + len(mask), 2) + palette + bytes(xor) + mask
    entry = struct.pack('<BBBBHHII', w, h, 2, 0, hotspot[0], hotspot[1], len(blob), 6 + 16)
    return struct.pack('<HHH', 0, 2, 1) + entry + blob


# ---------------------------------------------------------------------------
# Launcher skin

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


def pendant(img, cx, y0, y1):
    """Vertical filigree beside the banner: a line with a diamond at its middle."""
    d = ImageDraw.Draw(img)
    mid = (y0 + y1) // 2
    for y in range(y0, y1):
        t = abs(y - mid) / float((y1 - y0) / 2.0)
        a = max(0.0, 1.0 - t ** 1.5)
        d.point((cx, y), fill=mix(img.getpixel((cx, y)), GOLD, 0.8 * a))
        d.point((cx + 1, y), fill=mix(img.getpixel((cx + 1, y)), INK, 0.6 * a))
    img = diamond(img, cx, mid, 6)
    img = diamond(img, cx, mid - 16, 2)
    img = diamond(img, cx, mid + 16, 2)
    return img


def banner_panel(img):
    """The ad banner is often blank under Wine: keep it an intentional dark inset."""
    well(img, BANNER, margin=3, fill=(20, 14, 10))
    x0, y0, x1, y1 = BANNER
    w, h = x1 - x0, y1 - y0
    # Faint engraved lattice and a ghost of the emblem, barely above black.
    inner = img.crop(BANNER)
    d = ImageDraw.Draw(inner)
    for x in range(-h, w, 12):
        d.line([(x, h), (x + h, 0)], fill=(25, 18, 12))
    v = Vec(w, h, 4)
    draw_emblem(v, w / 2.0, h / 2.0, 24, outline=0.0)
    ghost = v.result()
    ghost.putalpha(ghost.getchannel('A').point(lambda a: a * 0.07))
    inner = composite_at(inner, ghost, (0, 0))
    # Inner shadow along the top and left, where the lip overhangs.
    shadow = Image.new('L', (w, h), 0)
    sd = ImageDraw.Draw(shadow)
    for i in range(6):
        a = int(120 * (1 - i / 6.0) ** 2)
        sd.line([(0, i), (w, i)], fill=a)
        sd.line([(i, 0), (i, h)], fill=a)
    inner = Image.composite(Image.new('RGB', (w, h), INK), inner, shadow)
    img.paste(inner, BANNER[:2])


def news_panel(img):
    """Information panel under the news browser; visible when it is absent."""
    # The link lines stick out of the browser by a column or two, so the panel
    # spans both and only its plain floor shows beside a live browser.
    box = (LINK_HOME[0], NEWS[1], LINK_HOME[2], NEWS[3])
    well(img, box, margin=3, fill=(32, 23, 15))
    x0, y0, x1, y1 = box
    x = 452
    text(img, (x, y0 + 9), '오르베인 런처', HEADING, GOLD_PALE)
    ornament_rule(img, x, x1 - 12, y0 + 33)
    muted = (170, 150, 118)
    lines = [
        ('클래식 배틀넷 게임을 한곳에서', PARCHMENT, None),
        ('실행하는 한국어 런처입니다.', PARCHMENT, None),
        None,
        ('왼쪽 폴더에서 게임을 고르세요.', PARCHMENT, 'bullet'),
        ('서버를 골라 더블 클릭하면', PARCHMENT, 'bullet'),
        ('게임이 시작됩니다.', PARCHMENT, 'cont'),
        ('설정에서 게임이 설치된', PARCHMENT, 'bullet'),
        ('폴더를 지정할 수 있습니다.', PARCHMENT, 'cont'),
        ('아래 막대로 배경 음악의', PARCHMENT, 'bullet'),
        ('소리를 조절합니다.', PARCHMENT, 'cont'),
        None,
        ('새 소식은 이 창에 표시됩니다.', muted, None),
    ]
    y = y0 + 42
    for ln in lines:
        if ln is None:
            y += 8
            continue
        s, colour, kind = ln
        tx = x
        if kind == 'bullet':
            img = diamond(img, x + 3, y + 7, 3, fill=AMBER)
        if kind:
            tx = x + 11
        text(img, (tx, y), s, BODY, colour)
        y += 17
    ornament_rule(img, x, x1 - 12, LINK_HOME[1] - 6, fade_left=True)
    for box_, label in ((LINK_HOME, '오르베인 홈페이지'), (LINK_PORTAL, '게임 포털 바로가기')):
        cy = (box_[1] + box_[3]) // 2
        arrow(img, x + 1, cy, 4, LINK)
        text(img, (x + 11, cy), label, BODY_BOLD, LINK, anchor='lm')
    return img


def arrow(img, x, cy, r, c):
    """A small right-pointing triangle (drawn, so no font needs the glyph)."""
    v = Vec(2 * r + 4, 2 * r + 4)
    m = v.poly([(2, 2), (2 + 2 * r * 0.9, 2 + r), (2, 2 + 2 * r)])
    v.fill(shift(m, v.ss, v.ss), INK + (255,))
    v.fill(m, c)
    img.paste(composite_at(img.crop((x - 2, cy - r - 2, x + 2 * r + 2, cy + r + 2)), v.result(), (0, 0)),
              (x - 2, cy - r - 2))


def launcher_skin():
    w, h = 640, 480
    img = skin_background(w, h, seed=11)
    title_band(img, 61)
    window_border(img)
    # Title band: logo, tagline and an engraved rule running to the right.
    img = composite_at(img, logo_layer(), (LOGO[0] - LOGO_PAD, LOGO[1] - LOGO_PAD))
    tag = '클래식 배틀넷 게임 런처'
    tx = 262
    text(img, (tx, 44), tag, TAGLINE, (214, 178, 118), anchor='ls')
    ornament_rule(img, tx + int(text_width(tag, TAGLINE)) + 10, 628, 40)
    img = diamond(img, 628, 40, 3)
    banner_panel(img)
    img = pendant(img, 46, 68, 136)
    img = pendant(img, 602, 68, 136)
    well(img, FOLDERS, margin=2, fill=(26, 24, 22))
    well(img, SERVERS, margin=3, fill=(16, 12, 9))
    img = news_panel(img)
    well(img, VOLUME, margin=2, fill=SOOT)
    # One field behind both buttons; the gap between them shows its floor.
    field = (SETUP[0], SETUP[1], EXIT[2], EXIT[3])
    well(img, field, margin=2, fill=SOOT)
    return img


# ---------------------------------------------------------------------------
# Buttons, folder parts and the volume slider

CELL = (88, 35)

BROWN_PLATE = dict(face_top=(96, 66, 40), face_bottom=(52, 35, 22),
                   light=(168, 124, 74), dark=(26, 17, 10),
                   gloss=[(0, (112, 78, 48)), (0.3, (84, 57, 35)), (0.55, (70, 47, 29)), (1, (48, 32, 20))])
ORANGE_PLATE = dict(face_top=(236, 142, 48), face_bottom=(150, 66, 12),
                    light=(255, 214, 140), dark=(92, 38, 6),
                    gloss=[(0, (250, 170, 74)), (0.28, (214, 112, 30)), (0.6, (186, 88, 18)), (1, (140, 60, 10))])
GREY_PLATE = dict(face_top=(84, 80, 76), face_bottom=(48, 46, 44),
                  light=(146, 140, 132), dark=(20, 19, 18),
                  gloss=[(0, (92, 88, 84)), (0.3, (72, 69, 66)), (0.6, (62, 60, 57)), (1, (46, 44, 42))])


def button_cell(style, width=CELL[0]):
    cell = Image.new('RGB', CELL, INK)
    plate(cell, (0, 0, width, CELL[1]), **style)
    d = ImageDraw.Draw(cell)
    # Gold hairline inside the bevel: the launcher's trim colour on every control.
    inner = (3, 3, width - 3, CELL[1] - 3)
    trim = mix(style['light'], GOLD, 0.5)
    hline(d, inner[0] + 1, inner[2] - 2, inner[1], mix(trim, style['face_top'], 0.45))
    hline(d, inner[0] + 1, inner[2] - 2, inner[3] - 1, mix(style['dark'], style['face_bottom'], 0.3))
    return cell


def buttons():
    """Five 88x35 cells: normal, normal, hover, hover, folder header."""
    img = Image.new('RGB', (CELL[0], CELL[1] * 5))
    normal = button_cell(BROWN_PLATE)
    hover = button_cell(ORANGE_PLATE)
    # Folder headers are 85 wide: the plate ends there so its bevel is whole.
    header = button_cell(GREY_PLATE, width=85)
    for i, c in enumerate((normal, normal, hover, hover, header)):
        img.paste(c, (0, i * CELL[1]))
    return img


def folder_body():
    """Stretched to 85x178 behind the folder tiles, so keep it low-frequency."""
    w, h = 92, 187
    base = vgradient(w, h, [(0, (58, 55, 52)), (0.5, (46, 44, 42)), (1, (36, 34, 33))])
    base = textured(base, 23, depth=0.07, octaves=((16, 0.6), (4, 0.4)))
    d = ImageDraw.Draw(base)
    # Two-pixel edges survive the 92->85 squeeze, which drops columns.
    bevel(d, (0, 0, w, h), [(22, 21, 20), (30, 29, 28)], [(96, 92, 86), (74, 71, 67)], width=2)
    return base


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


SLIDER_FACE = (24, 17, 12)
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


# ---------------------------------------------------------------------------
# Icons.  Each is drawn in a 1x1 unit square scaled to the entry size, with
# a dark outline around the union of its shapes so it reads on grey tiles.
# Small sizes get chunkier strokes rather than a blurry copy of the big one.

ICON_SIZES = (48, 32, 16)


def _icon(s, draw):
    v = Vec(s, s, 8)
    draw(v, s)
    return v.result()


def icon_set(draw):
    return [_icon(s, draw) for s in ICON_SIZES]


def _u(s, pts):
    return [(x * s, y * s) for x, y in pts]


def draw_orvane_icon(v, s):
    # A dark coin behind the emblem so the program icon reads on any desktop.
    c = s / 2.0
    coin = v.ellipse(c, c, s * 0.49)
    v.fill(coin, v.radial(c * 0.8, c * 0.7, s * 0.6, [(0, (70, 48, 30)), (1, (16, 11, 7))]))
    rim = v.ring(c, c, s * 0.49, s * 0.49 - max(1.0, s / 24.0))
    v.fill(rim, v.vgrad(0, s, [(0, GOLD), (1, GOLD_DEEP)]))
    draw_emblem(v, c, c, s * (0.33 if s > 16 else 0.36), outline=0.8 if s > 16 else 0.5,
                detail=s > 16)


def draw_warcraft_icon(v, s):
    small = s <= 16
    bw = 0.13 if small else 0.09           # blade width
    blades = v.mask()
    hilts = v.mask()
    pommels = v.mask()
    for sign in (1, -1):
        # Blade from a lower corner to the opposite upper corner, behind the shield.
        x_tip, x_hilt = (0.5 - sign * 0.42), (0.5 + sign * 0.36)
        tip, hilt = (x_tip, 0.06), (x_hilt, 0.80)
        dx, dy = hilt[0] - tip[0], hilt[1] - tip[1]
        ln = math.hypot(dx, dy)
        nx, ny = -dy / ln * bw / 2, dx / ln * bw / 2
        ux, uy = dx / ln, dy / ln
        v.poly(_u(s, [(tip[0] - ux * 0.0, tip[1]),
                      (tip[0] + ux * 0.1 + nx, tip[1] + uy * 0.1 + ny),
                      (hilt[0] + nx, hilt[1] + ny), (hilt[0] - nx, hilt[1] - ny),
                      (tip[0] + ux * 0.1 - nx, tip[1] + uy * 0.1 - ny)]), m=blades)
        # Cross guard perpendicular to the blade, grip and pommel beyond it.
        g = 0.16 if small else 0.13
        gx, gy = hilt
        px, py = nx / (bw / 2), ny / (bw / 2)
        v.stroke(_u(s, [(gx - px * g, gy - py * g), (gx + px * g, gy + py * g)]),
                 s * (0.1 if small else 0.07), m=hilts)
        v.stroke(_u(s, [(gx, gy), (gx + ux * 0.1, gy + uy * 0.1)]), s * (0.09 if small else 0.06), m=hilts)
        v.ellipse((gx + ux * 0.13) * s, (gy + uy * 0.13) * s, s * (0.07 if small else 0.05), m=pommels)
    shield_pts = path((0.5, 0.2), [((0.6, 0.26), (0.7, 0.25), (0.77, 0.22)),
                                   ((0.79, 0.5), (0.72, 0.75), (0.5, 0.93)),
                                   ((0.28, 0.75), (0.21, 0.5), (0.23, 0.22)),
                                   ((0.3, 0.25), (0.4, 0.26), (0.5, 0.2))])
    shield = v.poly(_u(s, shield_pts))
    field = v.poly(_u(s, scale_pts(shield_pts, 0.74, (0.5, 0.52), sy=0.76)))
    allm = ImageChops.lighter(ImageChops.lighter(blades, hilts), ImageChops.lighter(pommels, shield))
    v.fill(v.grow(allm, 0.9 if s > 16 else 0.6), INK + (255,))
    v.fill(blades, v.vgrad(0, s * 0.8, [(0, (250, 250, 246)), (0.5, (196, 198, 204)), (1, (120, 124, 132))]))
    v.fill(ImageChops.lighter(hilts, pommels), v.vgrad(s * 0.6, s, GOLD_RAMP))
    v.fill(v.grow(shield, 0.0), v.vgrad(s * 0.2, s * 0.93, GOLD_RAMP))
    v.fill(field, v.vgrad(s * 0.25, s * 0.9, [(0, (214, 52, 36)), (0.6, (150, 24, 18)), (1, (90, 12, 10))]))
    if not small:
        # A gold chevron on the field.
        chev = v.stroke(_u(s, [(0.36, 0.42), (0.5, 0.56), (0.64, 0.42)]), s * 0.08)
        v.fill(v.grow(chev, 0.5), (60, 8, 6, 255))
        v.fill(chev, v.vgrad(s * 0.4, s * 0.6, GOLD_RAMP))


def draw_starcraft_icon(v, s):
    small = s <= 16
    cx, cy, r = (0.42 * s, 0.58 * s, 0.34 * s) if small else (0.44 * s, 0.56 * s, 0.3 * s)
    planet = v.ellipse(cx, cy, r)
    # An orbit ring tilted across the planet; the half behind is hidden by it.
    ring = v.mask()
    d = ImageDraw.Draw(ring)
    ss = v.ss
    rw = max(1.6, s * 0.07)
    box = ((cx - r * 1.55) * ss, (cy - r * 0.5) * ss, (cx + r * 1.55) * ss, (cy + r * 0.5) * ss)
    d.ellipse(box, fill=255)
    d.ellipse((box[0] + rw * ss, box[1] + rw * ss * 0.6, box[2] - rw * ss, box[3] - rw * ss * 0.6), fill=0)
    ring = ring.rotate(18, resample=Image.BICUBIC, center=(cx * ss, cy * ss))
    front = Image.new('L', ring.size, 0)
    front.paste(ring.crop((0, int(cy * ss), ring.size[0], ring.size[1])), (0, int(cy * ss)))
    front = front.rotate(0)
    behind = ImageChops.subtract(ring, front)
    star = v.poly(star_pts(0.8 * s, 0.2 * s, 0.19 * s if not small else 0.2 * s, 0.045 * s if not small else 0.07 * s, 4))
    allm = ImageChops.lighter(ImageChops.lighter(planet, ring), star)
    v.fill(v.grow(allm, 0.9 if s > 16 else 0.6), INK + (255,))
    cyan = v.vgrad(cy - r * 0.6, cy + r * 0.6, [(0, (210, 240, 255)), (1, (90, 150, 210))])
    v.fill(behind, cyan)
    v.fill(planet, v.radial(cx / s * s - r * 0.35, cy - r * 0.4, r * 1.5,
                            [(0, (140, 190, 255)), (0.35, (60, 100, 200)), (0.8, (28, 36, 110)),
                             (1, (14, 16, 60))]))
    if not small:
        # Cloud bands.
        bands = v.mask()
        bd = ImageDraw.Draw(bands)
        for k, (dy, hgt) in enumerate(((-0.35, 0.09), (0.05, 0.07), (0.4, 0.06))):
            bd.ellipse(((cx - r * 0.95) * ss, (cy + r * dy - r * hgt) * ss,
                        (cx + r * 0.95) * ss, (cy + r * dy + r * hgt) * ss), fill=70)
        v.fill(ImageChops.multiply(bands, planet), (200, 230, 255, 255))
    v.fill(front, cyan)
    v.fill(star, v.vgrad(0.02 * s, 0.4 * s, [(0, (255, 255, 255)), (0.5, (255, 240, 180)), (1, (240, 190, 90))]))


def draw_diablo_icon(v, s):
    small = s <= 16
    outer = path((0.5, 0.95), [((0.22, 0.95), (0.12, 0.74), (0.18, 0.56)),
                               ((0.22, 0.44), (0.3, 0.38), (0.27, 0.22)),
                               ((0.38, 0.3), (0.42, 0.37), (0.42, 0.44)),
                               ((0.44, 0.3), (0.47, 0.17), (0.58, 0.03)),
                               ((0.62, 0.2), (0.74, 0.3), (0.69, 0.45)),
                               ((0.73, 0.4), (0.77, 0.34), (0.78, 0.27)),
                               ((0.9, 0.46), (0.9, 0.78), (0.72, 0.9)),
                               ((0.64, 0.95), (0.56, 0.95), (0.5, 0.95))])
    flame = v.poly(_u(s, outer))
    mid = v.poly(_u(s, scale_pts(outer, 0.66, (0.5, 0.95), sy=0.62)))
    core = v.poly(_u(s, scale_pts(outer, 0.36, (0.5, 0.95), sy=0.34)))
    v.fill(v.grow(flame, 0.9 if s > 16 else 0.6), (20, 4, 2, 255))
    v.fill(flame, v.vgrad(0.05 * s, 0.95 * s, [(0, (255, 90, 30)), (0.5, (200, 30, 14)), (1, (110, 10, 6))]))
    v.fill(mid, v.vgrad(0.35 * s, 0.95 * s, [(0, (255, 160, 40)), (1, (230, 80, 16))]))
    v.fill(core, v.vgrad(0.6 * s, 0.95 * s, [(0, (255, 250, 200)), (1, (255, 200, 70))]))
    if not small:
        # The eye: a slit pupil glaring out of the fire.
        # The eye: a narrow, slanted almond with a slit pupil.
        eye = v.poly(_u(s, path((0.32, 0.66), [((0.42, 0.56), (0.58, 0.56), (0.68, 0.66)),
                                               ((0.58, 0.74), (0.42, 0.74), (0.32, 0.66))], 12)))
        pupil = v.poly(_u(s, path((0.5, 0.585), [((0.53, 0.63), (0.53, 0.69), (0.5, 0.73)),
                                                 ((0.47, 0.69), (0.47, 0.63), (0.5, 0.585))], 8)))
        pupil = ImageChops.multiply(pupil, eye)
        v.fill(v.grow(eye, 0.7), (60, 4, 2, 255))
        v.fill(eye, v.radial(0.5 * s, 0.66 * s, 0.2 * s, [(0, (255, 252, 210)), (0.5, (255, 200, 60)), (1, (220, 90, 16))]))
        v.fill(pupil, (30, 2, 2, 255))


# ---------------------------------------------------------------------------
# Cursors, pixel by pixel: X is the black outline, o the white fill.

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


# ---------------------------------------------------------------------------
# Updater skin

def updater_skin():
    w, h = 489, 253
    img = skin_background(w, h, seed=41)
    title_band(img, 62)
    window_border(img)
    img = composite_at(img, logo_layer(), (16 - LOGO_PAD, 16 - LOGO_PAD))
    # The seal on the left, big and quiet.
    v = Vec(120, 120, 4)
    draw_emblem(v, 60, 60, 40, outline=1.5)
    seal = v.result()
    glow = seal.getchannel('A').filter(ImageFilter.GaussianBlur(8)).point(lambda a: a * 0.45)
    halo = Image.new('RGBA', seal.size, (210, 120, 30, 255))
    halo.putalpha(glow)
    img = composite_at(img, halo, (12, 72))
    img = composite_at(img, seal, (12, 72))
    # Information text on the right.
    x = 150
    text(img, (x, 72), '오르베인 업데이트', HEADING, GOLD_PALE)
    ornament_rule(img, x, w - 16, 96)
    for i, ln in enumerate(('런처에 필요한 최신 파일을 받고 있습니다.',
                            '업데이트가 끝나면 런처가 자동으로 열립니다.',
                            '잠시만 기다려 주세요.')):
        text(img, (x, 108 + i * 20), ln, BODY, PARCHMENT)
    # A light parchment strip where the program writes its status in black.
    status_field(img, STATUS_FIELD)
    tag = '클래식 배틀넷 게임 런처'
    text(img, (w - 18, 42), tag, TAGLINE, (200, 166, 110), anchor='rs')
    return img


def status_field(img, box):
    d = ImageDraw.Draw(img)
    bevel(d, grow(box, 2), mix(GOLD_DEEP, INK, 0.2), mix(GOLD, GOLD_PALE, 0.2))
    bevel(d, grow(box, 1), (40, 28, 16), (250, 236, 200))
    paper = vgradient(box[2] - box[0], box[3] - box[1],
                      [(0, (206, 190, 160)), (0.2, (232, 220, 194)), (1, (222, 208, 178))])
    paper = textured(paper, 77, depth=0.03)
    img.paste(paper, box[:2])


# ---------------------------------------------------------------------------
# The whole set

def build():
    """Every output file as {relative path: bytes}."""
    out = {}
    out[LAUNCHER + '/skin.bmp'] = bmp8_bytes(to_8bit(launcher_skin()))
    out[LAUNCHER + '/buttons.bmp'] = bmp8_bytes(to_8bit(buttons()))
    out[LAUNCHER + '/folder_body.bmp'] = bmp8_bytes(to_8bit(folder_body()))
    out[LAUNCHER + '/slider_track.bmp'] = bmp8_bytes(to_8bit(slider_track()))
    out[LAUNCHER + '/slider_thumb.bmp'] = bmp8_bytes(to_8bit(slider_thumb()))
    out[LAUNCHER + '/orvn.ico'] = ico_bytes(icon_set(draw_orvane_icon))
    out[LAUNCHER + '/warcraft.ico'] = ico_bytes(icon_set(draw_warcraft_icon))
    out[LAUNCHER + '/starcraft.ico'] = ico_bytes(icon_set(draw_starcraft_icon))
    out[LAUNCHER + '/diablo.ico'] = ico_bytes(icon_set(draw_diablo_icon))
    rows, hot = hand_cursor()
    out[LAUNCHER + '/select.cur'] = cur_bytes(rows, hot)
    rows, hot = track_cursor()
    out[LAUNCHER + '/track.cur'] = cur_bytes(rows, hot)
    out[UPDATER + '/skin.bmp'] = bmp24_bytes(updater_skin())
    return out


# What the programs rely on: (width, height, bits) of each bitmap, icon sizes,
# cursor hotspots.  Checked on every --check so a layout slip cannot land.
EXPECT_BMP = {
    LAUNCHER + '/skin.bmp': (640, 480, 8),
    LAUNCHER + '/buttons.bmp': (88, 175, 8),
    LAUNCHER + '/folder_body.bmp': (92, 187, 8),
    LAUNCHER + '/slider_track.bmp': (322, 37, 8),
    LAUNCHER + '/slider_thumb.bmp': (19, 37, 8),
    UPDATER + '/skin.bmp': (489, 253, 24),
}
EXPECT_CUR = {LAUNCHER + '/select.cur': HAND_HOTSPOT, LAUNCHER + '/track.cur': (16, 16)}


def write_tree(files, root):
    for rel, data in sorted(files.items()):
        p = os.path.join(root, rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, 'wb') as f:
            f.write(data)


# ---------------------------------------------------------------------------
# Structural checks: parse what was written the way Windows will.

def check_bmp(data, want):
    w_want, h_want, bpp_want = want
    assert data[:2] == b'BM', 'no BM signature'
    size, _, _, off = struct.unpack_from('<IHHI', data, 2)
    assert size == len(data), 'bfSize %d != %d' % (size, len(data))
    bi = struct.unpack_from('<IiiHHIIiiII', data, 14)
    hsize, w, h, planes, bpp, comp, img_size, _, _, used, _ = bi
    assert hsize == 40 and planes == 1 and comp == 0, 'not a plain BITMAPINFOHEADER'
    assert (w, h, bpp) == (w_want, h_want, bpp_want), 'got %dx%d@%d' % (w, h, bpp)
    stride = ((w * bpp + 31) // 32) * 4
    assert img_size == stride * h and off + img_size == len(data), 'pixel data size'
    if bpp == 8:
        assert 0 < used <= 256 and off == 54 + 4 * used, 'palette size'
        top = max(data[off + y * stride + x] for y in range(h) for x in range(w))
        assert top < used, 'pixel index %d past palette of %d' % (top, used)
    else:
        assert off == 54


def check_icon(data, kind, hotspot=None):
    _, typ, count = struct.unpack_from('<HHH', data, 0)
    assert typ == kind and count >= 1, 'wrong icon/cursor type'
    sizes = []
    for i in range(count):
        w, h, colors, _, a, b, n, off = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
        w, h = w or 256, h or 256
        blob = data[off:off + n]
        assert len(blob) == n and blob[:4] != b'\x89PNG', 'entry %d is not a DIB' % i
        hsize, dw, dh, _, bpp = struct.unpack_from('<IiiHH', blob, 0)
        assert hsize == 40 and (dw, dh) == (w, 2 * h), 'DIB size of entry %d' % i
        pal = 4 * (1 << bpp) if bpp <= 8 else 0
        xor = ((w * bpp + 31) // 32) * 4 * h
        mask = ((w + 31) // 32) * 4 * h
        assert n == 40 + pal + xor + mask, 'entry %d length' % i
        if kind == 1:
            assert bpp == 32 and a == 1 and b == 32, 'icon entries are 32-bpp'
        else:
            assert (a, b) == hotspot, 'hotspot %r' % ((a, b),)
            # The hotspot pixel must be drawn, or clicks land on a clear pixel.
            row = h - 1 - b
            mbyte = blob[40 + pal + xor + row * ((w + 31) // 32) * 4 + (a >> 3)]
            assert not (mbyte & (0x80 >> (a & 7))), 'hotspot on a transparent pixel'
        sizes.append(w)
    if kind == 1:
        assert 16 in sizes and 32 in sizes, 'icon sizes %r' % sizes


def validate(rel, data):
    if rel in EXPECT_BMP:
        check_bmp(data, EXPECT_BMP[rel])
    elif rel.endswith('.ico'):
        check_icon(data, 1)
    elif rel.endswith('.cur'):
        check_icon(data, 2, EXPECT_CUR[rel])


def run_check(ref_root):
    tmp = tempfile.mkdtemp(prefix='gen_assets.')
    passed = failed = 0
    try:
        files = build()
        write_tree(files, tmp)
        for rel in sorted(files):
            problems = []
            fresh = open(os.path.join(tmp, rel), 'rb').read()
            try:
                validate(rel, fresh)
            except AssertionError as e:
                problems.append('bad format: %s' % e)
            ref = os.path.join(ref_root, rel)
            if not os.path.exists(ref):
                problems.append('missing; run tools/gen_assets.py')
            elif open(ref, 'rb').read() != fresh:
                problems.append('differs from a fresh render; run tools/gen_assets.py')
            if problems:
                failed += 1
                print('FAIL %s: %s' % (rel, '; '.join(problems)))
            else:
                passed += 1
                print('ok   %s (%d bytes)' % (rel, len(fresh)))
        for d in (LAUNCHER, UPDATER):
            full = os.path.join(ref_root, d)
            for name in sorted(os.listdir(full)) if os.path.isdir(full) else []:
                if d + '/' + name not in files:
                    failed += 1
                    print('FAIL %s/%s: not made by this tool' % (d, name))
    finally:
        shutil.rmtree(tmp)
    print('gen_assets: %d passed, %d failed' % (passed, failed))
    return failed == 0


# ---------------------------------------------------------------------------
# Previews (not committed): decoded back from the bytes that were written,
# laid out the way the programs will show them.

def decode_bmp(data):
    return Image.open(io.BytesIO(data)).convert('RGB')


def decode_dib_entry(data, index=0):
    """RGBA of one icon or cursor entry, read with our own eyes, masks and all."""
    w, h, _, _, _, _, n, off = struct.unpack_from('<BBBBHHII', data, 6 + 16 * index)
    blob = data[off:off + n]
    bpp = struct.unpack_from('<H', blob, 14)[0]
    pal_n = (1 << bpp) if bpp <= 8 else 0
    pal = [blob[40 + 4 * i:40 + 4 * i + 3] for i in range(pal_n)]
    xs = ((w * bpp + 31) // 32) * 4
    ms = ((w + 31) // 32) * 4
    base = 40 + 4 * pal_n
    out = Image.new('RGBA', (w, h))
    for y in range(h):
        row = base + (h - 1 - y) * xs
        mrow = base + xs * h + (h - 1 - y) * ms
        for x in range(w):
            clear = blob[mrow + (x >> 3)] & (0x80 >> (x & 7))
            if bpp == 32:
                b, g, r, a = blob[row + 4 * x:row + 4 * x + 4]
            else:
                bit = (blob[row + (x >> 3)] >> (7 - (x & 7))) & 1
                b, g, r = pal[bit]
                a = 0 if clear else 255
            out.putpixel((x, y), (r, g, b, a))
    return out


def icon_entries(data):
    count = struct.unpack_from('<H', data, 4)[0]
    return {decode_dib_entry(data, i).size[0]: decode_dib_entry(data, i) for i in range(count)}


def zoom(img, k):
    return img.resize((img.size[0] * k, img.size[1] * k), Image.NEAREST)


def preview_launcher(files, pdir):
    skin = decode_bmp(files[LAUNCHER + '/skin.bmp'])
    skin.save(os.path.join(pdir, 'launcher_skin.png'))
    # Where the child windows go.
    lay = skin.convert('RGBA')
    over = Image.new('RGBA', lay.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(over)
    small = font('NanumGothicBold.ttf', 11)
    boxes = [(BANNER, 'banner', (60, 160, 255)), (SERVERS, 'server list', (80, 220, 120)),
             (FOLDERS, 'folders', (255, 220, 60)), (NEWS, 'news', (60, 200, 255)),
             (LINK_HOME, 'link 1', (255, 80, 200)), (LINK_PORTAL, 'link 2', (255, 80, 200)),
             (LOGO, 'logo', (255, 80, 80)), (VOLUME, 'volume', (200, 120, 255)),
             (SETUP, 'Setup', (255, 140, 40)), (EXIT, 'Exit', (255, 140, 40))]
    for box, label, c in boxes:
        d.rectangle((box[0], box[1], box[2] - 1, box[3] - 1), fill=c + (60,), outline=c + (230,))
        d.text((box[0] + 3, box[1] + 2), label, font=small, fill=c + (255,))
    d.text(VERSION_AT, 'Ver. 1.07', font=small, fill=(255, 255, 255, 255))
    Image.alpha_composite(lay, over).convert('RGB').save(os.path.join(pdir, 'launcher_layout.png'))

    # A mock-up of the running launcher, news browser absent.
    btn = decode_bmp(files[LAUNCHER + '/buttons.bmp'])
    body = decode_bmp(files[LAUNCHER + '/folder_body.bmp'])
    track = decode_bmp(files[LAUNCHER + '/slider_track.bmp'])
    thumb = decode_bmp(files[LAUNCHER + '/slider_thumb.bmp'])
    icons = {k: icon_entries(files[LAUNCHER + '/%s.ico' % k])[32]
             for k in ('starcraft', 'warcraft', 'diablo', 'orvn')}
    cap = font('NanumGothicBold.ttf', 12)
    m = skin.copy()
    d = ImageDraw.Draw(m)

    def button(box, cell, label):
        m.paste(btn.crop((0, cell * 35, 88, cell * 35 + 35)), box[:2])
        d.text(((box[0] + box[2]) // 2, box[1] + 17), label, font=cap, fill=WHITE, anchor='mm')

    button(SETUP, 0, '설정')
    button(EXIT, 2, '종료')
    m.paste(track, VOLUME[:2])
    m.paste(thumb, (VOLUME[0] + 84 + int((277 - 84) * 0.65), VOLUME[1]))
    # Folder bar: one open folder with three tiles, three closed headers.
    fx, fy = FOLDERS[:2]
    head = btn.crop((0, 140, 85, 175))
    labels = ['게임', '스타크래프트', '디아블로', '워크래프트 II']
    y = fy
    for i, lab in enumerate(labels):
        m.paste(head, (fx, y))
        d.text((fx + 42, y + 17), lab, font=cap, fill=WHITE, anchor='mm')
        y += 35
        if i == 0:
            m.paste(body.resize((85, 178), Image.NEAREST), (fx, y))
            for k, (ic, name) in enumerate((('starcraft', '스타크래프트'), ('warcraft', '워크래프트 II'),
                                            ('diablo', '디아블로'))):
                tile = (fx + 6, y + 6 + k * 57, fx + 79, y + 59 + k * 57)
                d.rectangle((tile[0], tile[1], tile[2] - 1, tile[3] - 1), fill=(64, 62, 60))
                bevel(d, tile, (120, 116, 110), (24, 23, 22))
                m.paste(icons[ic], ((tile[0] + tile[2]) // 2 - 16, tile[1] + 4), icons[ic])
                d.text(((tile[0] + tile[2]) // 2, tile[1] + 45), name, font=small, fill=WHITE, anchor='mm')
            y += 178
    # Server list rows, in the list view's own colours.
    sx, sy = SERVERS[:2]
    d.rectangle((sx, sy, SERVERS[2] - 1, SERVERS[3] - 1), fill=(12, 9, 7))
    d.rectangle((sx, sy, SERVERS[2] - 1, sy + 17), fill=(48, 34, 22))
    d.text((sx + 6, sy + 3), '서버', font=small, fill=PARCHMENT)
    d.text((sx + 170, sy + 3), '주소', font=small, fill=PARCHMENT)
    for i, (name, addr) in enumerate((('아시아', 'asia.example.net'), ('미국 동부', 'useast.example.net'),
                                      ('미국 서부', 'uswest.example.net'), ('유럽', 'europe.example.net'))):
        ry = sy + 20 + i * 18
        if i == 1:
            d.rectangle((sx + 1, ry - 1, SERVERS[2] - 2, ry + 15), fill=(150, 74, 16))
        d.text((sx + 6, ry), name, font=small, fill=WHITE)
        d.text((sx + 170, ry), addr, font=small, fill=WHITE)
    m.save(os.path.join(pdir, 'launcher_mockup.png'))


def preview_parts(files, pdir):
    btn = decode_bmp(files[LAUNCHER + '/buttons.bmp'])
    body = decode_bmp(files[LAUNCHER + '/folder_body.bmp'])
    track = decode_bmp(files[LAUNCHER + '/slider_track.bmp'])
    thumb = decode_bmp(files[LAUNCHER + '/slider_thumb.bmp'])
    cap = font('NanumGothicBold.ttf', 12)
    sheet = Image.new('RGB', (336, 318), (40, 38, 36))
    d = ImageDraw.Draw(sheet)
    sheet.paste(btn, (6, 6))
    for i, label in enumerate(('설정', '종료', '설정', '종료')):
        d.text((6 + 44, 6 + i * 35 + 17), label, font=cap, fill=WHITE, anchor='mm')
    d.text((6 + 42, 6 + 4 * 35 + 17), '스타크래프트', font=cap, fill=WHITE, anchor='mm')
    sheet.paste(body, (104, 6))
    sheet.paste(body.resize((85, 178), Image.NEAREST), (204, 6))
    sheet.paste(thumb, (304, 6))
    # The thumb at its two ends and in between.
    for k, left in enumerate((84, 180, 277)):
        strip = track.copy()
        strip.paste(thumb, (left, 0))
        sheet.paste(strip, (6, 196 + k * 40))
    zoom(sheet, 3).save(os.path.join(pdir, 'parts.png'))


def preview_icons(files, pdir):
    names = ('orvn', 'warcraft', 'starcraft', 'diablo')
    sheet = Image.new('RGB', (4 * 60 + 8, 150), (46, 44, 42))
    d = ImageDraw.Draw(sheet)
    for i, n in enumerate(names):
        ents = icon_entries(files[LAUNCHER + '/%s.ico' % n])
        x = 8 + i * 60
        y = 6
        for s in sorted(ents, reverse=True):
            tile = (x - 4, y - 4, x + s + 4, y + s + 4)
            d.rectangle((tile[0], tile[1], tile[2] - 1, tile[3] - 1), fill=(64, 62, 60))
            bevel(d, tile, (120, 116, 110), (24, 23, 22))
            sheet.paste(ents[s], (x, y), ents[s])
            y += s + 12
    zoom(sheet, 3).save(os.path.join(pdir, 'icons.png'))
    # Cursors over the skin at 1x and blown up with the hotspot marked.
    skin = decode_bmp(files[LAUNCHER + '/skin.bmp'])
    cs = Image.new('RGB', (200, 100), (90, 90, 90))
    cs.paste(skin.crop((440, 380, 540, 430)), (0, 50))
    cs.paste(skin.crop((110, 427, 210, 477)), (100, 50))
    for i, n in enumerate(('select', 'track')):
        c = decode_dib_entry(files[LAUNCHER + '/%s.cur' % n])
        hx, hy = struct.unpack_from('<HH', files[LAUNCHER + '/%s.cur' % n], 10)
        cs.paste(c, (i * 100 + 10, 5), c)
        cs.paste(c, (i * 100 + 40, 60), c)
        ImageDraw.Draw(cs).point((i * 100 + 10 + hx, 5 + hy), fill=(255, 0, 0))
    zoom(cs, 4).save(os.path.join(pdir, 'cursors.png'))


def preview_updater(files, pdir):
    sk = decode_bmp(files[UPDATER + '/skin.bmp'])
    sk.save(os.path.join(pdir, 'updater_skin.png'))
    m = sk.copy()
    ImageDraw.Draw(m).text(STATUS_AT, '업데이트 파일 확인 중... (3/12)', font=BODY, fill=(0, 0, 0))
    m.save(os.path.join(pdir, 'updater_mockup.png'))


def write_previews(files, pdir):
    os.makedirs(pdir, exist_ok=True)
    preview_launcher(files, pdir)
    preview_parts(files, pdir)
    preview_icons(files, pdir)
    preview_updater(files, pdir)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--out', help='root to write resources/... under (default: the repo)')
    ap.add_argument('--check', action='store_true',
                    help='regenerate into a temp dir and compare with the files under --out/the repo')
    ap.add_argument('--preview', default=PREVIEW_DIR, help='where PNG previews go (default %(default)s)')
    ap.add_argument('--no-preview', action='store_true')
    args = ap.parse_args(argv)
    root = os.path.abspath(args.out) if args.out else ROOT
    if args.check:
        return 0 if run_check(root) else 1
    files = build()
    for rel, data in sorted(files.items()):
        validate(rel, data)
    write_tree(files, root)
    for rel in sorted(files):
        print('wrote %s (%d bytes)' % (rel, len(files[rel])))
    if not args.no_preview:
        write_previews(files, args.preview)
        print('previews in %s' % args.preview)
    return 0


if __name__ == '__main__':
    sys.exit(main())
