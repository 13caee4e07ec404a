"""The folder bar's body, behind the game tiles of the open folder (its
headers are cells of the button strip)."""

from PIL import ImageDraw

from .containers import bmp8
from .layout import LAUNCHER
from .paint import bevel, textured, vgradient


def folder_body():
    """Stretched to 85x178 behind the folder tiles, so keep it low-frequency."""
    w, h = 92, 187
    base = vgradient(w, h, [(0, (58, 55, 52)), (0.5, (46, 44, 42)), (1, (36, 34, 33))])
    base = textured(base, 23, depth=0.07, octaves=((16, 0.6), (4, 0.4)))
    d = ImageDraw.Draw(base)
    # Two-pixel edges survive the 92->85 squeeze, which drops columns.
    bevel(d, (0, 0, w, h), [(22, 21, 20), (30, 29, 28)], [(96, 92, 86), (74, 71, 67)], width=2)
    return base


ASSETS = [bmp8(LAUNCHER + '/folder_body.bmp', folder_body, (92, 187))]
