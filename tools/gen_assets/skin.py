"""The launcher's 640x480 skin: title band with the logo, the banner inset,
wells for the child windows, and the information panel with its link lines."""

from PIL import Image, ImageDraw

from .containers import bmp8
from .emblem import LOGO_PAD, draw_emblem, logo_layer
from .layout import BANNER, EXIT, FOLDERS, INFO_LINKS, LAUNCHER, LOGO, NEWS, SERVERS, SETUP, VOLUME
from .paint import (AMBER, BODY, BODY_BOLD, GOLD, GOLD_PALE, HEADING, INK, LINK, PARCHMENT, SOOT, TAGLINE,
                    Vec, composite_at, diamond, mix, ornament_rule, shift, skin_background, text, text_width,
                    title_band, well, window_border)


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
    links_left = min(box[0] for box, _, _ in INFO_LINKS)
    links_right = max(box[2] for box, _, _ in INFO_LINKS)
    links_top = min(box[1] for box, _, _ in INFO_LINKS)
    box = (links_left, NEWS[1], links_right, NEWS[3])
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
    ornament_rule(img, x, x1 - 12, links_top - 6, fade_left=True)
    for box_, _, label in INFO_LINKS:
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


ASSETS = [bmp8(LAUNCHER + '/skin.bmp', launcher_skin, (640, 480))]
