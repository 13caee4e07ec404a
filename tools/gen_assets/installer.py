"""The installer's pictures: the 164x314 side picture of the welcome and
finish pages and the 150x57 header of the other pages, on the skins' dark
leather so the installer reads as part of the product."""

import os

from PIL import Image, ImageChops, ImageFilter

from .containers import bmp24, decode_bmp
from .emblem import LOGO_PAD, draw_emblem, logo_layer
from .layout import INSTALLER
from .paint import (GOLD, GOLD_DEEP, GOLD_PALE, HEADING, INK, PARCHMENT, TAGLINE, Vec, composite_at, diamond,
                    mix, ornament_rule, skin_background, text, text_width, vgradient)

SIDE = (164, 314)
HEADER = (150, 57)


def seal(size, r, blur, strength):
    """The emblem with a warm halo behind it, as an RGBA layer size x size."""
    v = Vec(size, size, 4)
    draw_emblem(v, size / 2.0, size / 2.0, r, outline=1.5)
    emblem = v.result()
    glow = emblem.getchannel('A').filter(ImageFilter.GaussianBlur(blur)).point(lambda a: a * strength)
    halo = Image.new('RGBA', emblem.size, (210, 120, 30, 255))
    halo.putalpha(glow)
    halo.alpha_composite(emblem)
    return halo


def gold_edge(img, x):
    """A vertical gold trim: the picture's edge against the light page."""
    h = img.size[1]
    for y in range(h):
        img.putpixel((x - 2, y), INK)
        img.putpixel((x - 1, y), mix(GOLD, GOLD_PALE, 0.2))
        img.putpixel((x, y), GOLD_DEEP)


def side_picture():
    w, h = SIDE
    img = skin_background(w, h, seed=53)
    # Light falls from the top, where the seal hangs.
    img = composite_at(img, seal(132, 44, 10, 0.5), ((w - 132) // 2 - 1, 34))
    cx = (w - 3) // 2
    name = '오르베인'
    text(img, (cx - text_width(name, HEADING) / 2, 178), name, HEADING, GOLD_PALE)
    ornament_rule(img, 22, cx, 205, fade_left=True, fade_right=False)
    ornament_rule(img, cx, w - 24, 205)
    img = diamond(img, cx, 206, 4)
    for i, ln in enumerate(('클래식 배틀넷', '게임 런처')):
        text(img, (cx - text_width(ln, TAGLINE) / 2, 220 + i * 18), ln, TAGLINE, (200, 166, 110))
    # The foot sinks to black, so the long page ends quietly.
    foot = vgradient(w, 70, [(0, (255, 255, 255)), (1, (120, 110, 100))])
    img.paste(ImageChops.multiply(img.crop((0, h - 70, w, h)), foot), (0, h - 70))
    gold_edge(img, w - 1)
    return img


def header_picture():
    w, h = HEADER
    img = skin_background(w, h, seed=59)
    logo = logo_layer(w=128, h=24, size=25, tracking=2)
    img = composite_at(img, logo, ((w - 128) // 2 - LOGO_PAD, (h - 24) // 2 - LOGO_PAD))
    # Trim on the side facing the header text, and along the bottom where the
    # page's own rule runs.
    for y in range(h):
        img.putpixel((0, y), GOLD_DEEP)
        img.putpixel((1, y), mix(GOLD, GOLD_PALE, 0.2))
        img.putpixel((2, y), INK)
    return img


def preview(files, pdir):
    """The pictures where the installer puts them, on its white pages."""
    side = decode_bmp(files[INSTALLER + '/wizard.bmp'])
    head = decode_bmp(files[INSTALLER + '/header.bmp'])
    welcome = Image.new('RGB', (497, 314), (255, 255, 255))
    welcome.paste(side, (0, 0))
    text(welcome, (176, 20), 'Orvane 설치를 시작합니다', HEADING, (0, 0, 0), shadow=None)
    welcome.save(os.path.join(pdir, 'installer_welcome.png'))
    page = Image.new('RGB', (497, 57), (255, 255, 255))
    page.paste(head, (497 - 150, 0))
    text(page, (10, 8), '설치 위치 선택', HEADING, (0, 0, 0), shadow=None)
    page.save(os.path.join(pdir, 'installer_header.png'))


ASSETS = [bmp24(INSTALLER + '/wizard.bmp', side_picture, SIDE),
          bmp24(INSTALLER + '/header.bmp', header_picture, HEADER)]
