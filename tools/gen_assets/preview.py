"""PNG previews (never committed) of the launcher's parts, decoded back from
the bytes that were written and laid out the way the program shows them."""

import os
import struct

from PIL import Image, ImageDraw

from .containers import decode_bmp, decode_dib_entry, icon_entries, zoom
from .layout import (BANNER, EXIT, FOLDERS, INFO_LINKS, LAUNCHER, LOGO, NEWS, SERVERS, SETUP, VERSION_AT,
                     VOLUME)
from .paint import PARCHMENT, WHITE, bevel, font


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
             (LOGO, 'logo', (255, 80, 80)), (VOLUME, 'volume', (200, 120, 255)),
             (SETUP, 'Setup', (255, 140, 40)), (EXIT, 'Exit', (255, 140, 40))]
    boxes += [(box, 'link %d: %s' % (i + 1, target), (255, 80, 200))
              for i, (box, target, _) in enumerate(INFO_LINKS)]
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


def write_previews(files, pdir):
    preview_launcher(files, pdir)
    preview_parts(files, pdir)
    preview_icons(files, pdir)


