"""The art generator: every picture, icon and cursor the programs compile in.

paint (palette and drawing kit), emblem (the logo), layout (window geometry)
and containers (file formats, Asset) are shared; each other module is one
asset family with an ASSETS list, registered in cli.FAMILIES.
"""
