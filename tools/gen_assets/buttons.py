"""The button strip: the launcher's push buttons in their states and the
folder bar's header cell, stacked in one bitmap."""

from PIL import Image, ImageDraw

from .containers import bmp8
from .layout import LAUNCHER
from .paint import GOLD, INK, hline, mix, plate

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


ASSETS = [bmp8(LAUNCHER + '/buttons.bmp', buttons, (CELL[0], CELL[1] * 5))]
