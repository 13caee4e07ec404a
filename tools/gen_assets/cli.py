"""Draws every picture, icon and cursor the programs compile in, and renders
the background music.

    /usr/bin/python3 tools/gen_assets            # rewrite resources/*/art/
    /usr/bin/python3 tools/gen_assets --out DIR  # write the same tree under DIR
    /usr/bin/python3 tools/gen_assets --check    # render in memory and compare bytes
                                                 # with the committed files

Needs Debian's python3-pil, python3-numpy and fonts-nanum (sox for the
music's spectrogram preview). The output is byte-for-byte
reproducible: no timestamps, noise comes from an integer hash, and the BMP, ICO
and CUR containers are packed here rather than by Pillow's writers.  Normal
runs also drop PNG previews into /tmp/art_preview/ for eyeballing.

Each asset family is a module with an ASSETS list (containers.Asset records)
and, if it likes, a preview(files, pdir) function; FAMILIES below names them.
"""

import argparse
import os

from . import buttons, cursors, folder_bar, icons, installer, music, preview, skin, slider, updater
from .layout import ROOT

PREVIEW_DIR = '/tmp/art_preview'

# To add a family: write a module next to this one and list it here.
FAMILIES = (skin, buttons, folder_bar, slider, icons, cursors, updater, installer, music)


def assets():
    """Every Asset of every family, by path; a path claimed twice is an error."""
    out = {}
    for family in FAMILIES:
        for a in family.ASSETS:
            if a.path in out:
                raise ValueError('%s is made by two families' % a.path)
            out[a.path] = a
    return out


def build(table):
    """Every output file as {relative path: bytes}."""
    return {path: a.make() for path, a in table.items()}


def write_tree(files, root):
    for rel, data in sorted(files.items()):
        p = os.path.join(root, rel)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, 'wb') as f:
            f.write(data)


def run_check(ref_root):
    table = assets()
    files = build(table)
    passed = failed = 0
    for rel in sorted(files):
        problems = []
        fresh = files[rel]
        try:
            table[rel].check(fresh)
        except AssertionError as e:
            problems.append('bad format: %s' % e)
        ref = os.path.join(ref_root, rel)
        if not os.path.exists(ref):
            problems.append('missing; run tools/gen_assets')
        else:
            with open(ref, 'rb') as f:
                if f.read() != fresh:
                    problems.append('differs from a fresh render; run tools/gen_assets')
        if problems:
            failed += 1
            print('FAIL %s: %s' % (rel, '; '.join(problems)))
        else:
            passed += 1
            print('ok   %s (%d bytes)' % (rel, len(fresh)))
    # Every file in an art folder must come from here.
    for d in sorted({os.path.dirname(rel) for rel in files}):
        full = os.path.join(ref_root, d)
        for name in sorted(os.listdir(full)) if os.path.isdir(full) else []:
            if d + '/' + name not in files:
                failed += 1
                print('FAIL %s/%s: not made by this tool' % (d, name))
    print('gen_assets: %d passed, %d failed' % (passed, failed))
    return failed == 0


def write_previews(files, pdir):
    os.makedirs(pdir, exist_ok=True)
    preview.write_previews(files, pdir)
    for family in FAMILIES:
        if hasattr(family, 'preview'):
            family.preview(files, pdir)


def main(argv=None):
    ap = argparse.ArgumentParser(prog='gen_assets', description=__doc__.split('\n')[0])
    ap.add_argument('--out', help='root to write resources/... under (default: the repo)')
    ap.add_argument('--check', action='store_true',
                    help='render in memory and compare with the files under --out/the repo')
    ap.add_argument('--preview', default=PREVIEW_DIR, help='where PNG previews go (default %(default)s)')
    ap.add_argument('--no-preview', action='store_true')
    args = ap.parse_args(argv)
    root = os.path.abspath(args.out) if args.out else ROOT
    if args.check:
        return 0 if run_check(root) else 1
    table = assets()
    files = build(table)
    for rel, data in sorted(files.items()):
        table[rel].check(data)
    write_tree(files, root)
    for rel in sorted(files):
        print('wrote %s (%d bytes)' % (rel, len(files[rel])))
    if not args.no_preview:
        write_previews(files, args.preview)
        print('previews in %s' % args.preview)
    return 0
