"""The updater's 489x253 skin: logo, seal, a few lines of text and the light
field where start.exe writes its status."""

import os

from PIL import Image, ImageDraw, ImageFilter

from .containers import bmp24, decode_bmp
from .emblem import LOGO_PAD, draw_emblem, logo_layer
from .layout import STATUS_AT, STATUS_FIELD, UPDATER
from .paint import (BODY, GOLD, GOLD_DEEP, GOLD_PALE, HEADING, INK, PARCHMENT, TAGLINE, Vec, bevel, composite_at,
                    grow, mix, ornament_rule, skin_background, text, textured, title_band, vgradient,
                    window_border)

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


def preview(files, pdir):
    sk = decode_bmp(files[UPDATER + '/skin.bmp'])
    sk.save(os.path.join(pdir, 'updater_skin.png'))
    m = sk.copy()
    ImageDraw.Draw(m).text(STATUS_AT, '업데이트 파일 확인 중... (3/12)', font=BODY, fill=(0, 0, 0))
    m.save(os.path.join(pdir, 'updater_mockup.png'))


ASSETS = [bmp24(UPDATER + '/skin.bmp', updater_skin, (489, 253))]
