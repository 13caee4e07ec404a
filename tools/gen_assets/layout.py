"""Where things are: output folders and the programs' window geometry.

Rectangles are (left, top, right, bottom) with right/bottom exclusive, in the
coordinates of the window they belong to.  The skins are drawn around them.
"""

import os

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

LAUNCHER = 'resources/launcher/art'
UPDATER = 'resources/updater/art'

# Child windows of the launcher's view.
BANNER = (90, 65, 566, 130)
SERVERS = (110, 145, 430, 420)
FOLDERS = (7, 147, 92, 465)
NEWS = (445, 145, 625, 422)
LOGO = (15, 20, 245, 60)
VOLUME = (110, 427, 432, 464)
SETUP = (445, 435, 533, 470)
EXIT = (537, 435, 625, 470)
VERSION_AT = (460, 445)

# Updater: start.exe prints its status in black here.
STATUS_AT = (150, 210)
STATUS_FIELD = (140, 200, 480, 230)


# The information panel's link lines and the texts drawn on them.
INFO_LINKS = [((443, 390, 626, 405), 'ORVN_PORTAL_URL', '오르베인 홈페이지'),
              ((443, 407, 626, 422), 'ORVN_HOME2_URL', '게임 포털 바로가기')]
