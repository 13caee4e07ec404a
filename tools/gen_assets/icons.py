"""The program icon and the three game icons of the folder bar's tiles."""

import math

from PIL import Image, ImageChops, ImageDraw

from .containers import icon
from .emblem import draw_emblem
from .layout import LAUNCHER
from .paint import GOLD, GOLD_DEEP, GOLD_RAMP, INK, Vec, path, scale_pts, star_pts

# Each is drawn in a 1x1 unit square scaled to the entry size, with
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


ASSETS = [icon(LAUNCHER + '/orvn.ico', lambda: icon_set(draw_orvane_icon)),
          icon(LAUNCHER + '/warcraft.ico', lambda: icon_set(draw_warcraft_icon)),
          icon(LAUNCHER + '/starcraft.ico', lambda: icon_set(draw_starcraft_icon)),
          icon(LAUNCHER + '/diablo.ico', lambda: icon_set(draw_diablo_icon))]
