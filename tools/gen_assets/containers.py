"""File formats: the BMP, ICO and CUR containers packed by hand (so the bytes
never depend on Pillow's writers), their structural checks, decoders for the
previews, and Asset, the record every family lists its output files in.
"""

import io
import struct

from PIL import Image


class Asset:
    """One output file: its path under the repository, a function returning
    its bytes, and a check that raises AssertionError on a malformed file."""

    def __init__(self, path, make, check):
        self.path, self.make, self.check = path, make, check


def bmp8(path, draw, size):
    """An 8-bit BMP of the RGB picture draw() returns, which must be size (w, h)."""
    return Asset(path, lambda: bmp8_bytes(to_8bit(draw())), lambda data: check_bmp(data, size + (8,)))


def bmp24(path, draw, size):
    return Asset(path, lambda: bmp24_bytes(draw()), lambda data: check_bmp(data, size + (24,)))


def icon(path, images):
    """An icon of the RGBA pictures images() returns, one per size."""
    return Asset(path, lambda: ico_bytes(images()), lambda data: check_icon(data, 1))


def cursor(path, rows, hotspot):
    """A monochrome cursor from ASCII art (see cur_bytes)."""
    return Asset(path, lambda: cur_bytes(rows, hotspot), lambda data: check_icon(data, 2, hotspot))


# ---------------------------------------------------------------------------
# 8-bit reduction

def to_8bit(img, colors=256):
    """Median-cut palette refined by a few k-means passes; no dithering, so
    flat fills stay flat and the gradients have colours enough not to band."""
    return img.quantize(colors, method=Image.Quantize.MEDIANCUT, kmeans=3, dither=Image.Dither.NONE)


# ---------------------------------------------------------------------------
# File containers

def _dib_header(w, h, bpp, image_size, colors_used=0):
    return struct.pack('<IiiHHIIiiII', 40, w, h, 1, bpp, 0, image_size, 2835, 2835, colors_used, 0)


def _bottom_up(data, w_bytes, h, stride):
    pad = b'\0' * (stride - w_bytes)
    return b''.join(data[y * w_bytes:(y + 1) * w_bytes] + pad for y in range(h - 1, -1, -1))


def _file_header(payload_offset, total):
    return struct.pack('<2sIHHI', b'BM', total, 0, 0, payload_offset)


def bmp8_bytes(img):
    """8-bit BMP: only the palette entries actually used are written."""
    assert img.mode == 'P'
    w, h = img.size
    used = sorted(set(img.getdata()))
    # Renumber densely so biClrUsed covers exactly the colours in use.
    remap = {old: new for new, old in enumerate(used)}
    pal = img.getpalette()
    lut = [remap.get(i, 0) for i in range(256)]
    data = img.point(lut).tobytes()
    stride = (w + 3) & ~3
    pixels = _bottom_up(data, w, h, stride)
    palette = b''.join(struct.pack('<BBBB', pal[3 * i + 2], pal[3 * i + 1], pal[3 * i], 0) for i in used)
    info = _dib_header(w, h, 8, len(pixels), len(used))
    off = 14 + len(info) + len(palette)
    return _file_header(off, off + len(pixels)) + info + palette + pixels


def bmp24_bytes(img):
    img = img.convert('RGB')
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    pixels = _bottom_up(img.tobytes('raw', 'BGR'), w * 3, h, stride)
    info = _dib_header(w, h, 24, len(pixels))
    off = 14 + len(info)
    return _file_header(off, off + len(pixels)) + info + pixels


def _and_mask(bits, w, h):
    """1 = transparent; rows padded to 32 bits, bottom-up."""
    stride = ((w + 31) // 32) * 4
    out = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if bits[y * w + x]:
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return bytes(out)


def ico_bytes(images):
    """Classic icon: each entry a 32-bpp DIB with alpha plus an AND mask."""
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for im in sorted(images, key=lambda i: -i.size[0]):
        im = im.convert('RGBA')
        w, h = im.size
        xor = _bottom_up(im.tobytes('raw', 'BGRA'), w * 4, h, w * 4)
        alpha = im.getchannel('A').tobytes()
        mask = _and_mask([a == 0 for a in alpha], w, h)
        blob = _dib_header(w, h * 2, 32, len(xor) + len(mask)) + xor + mask
        entries.append(struct.pack('<BBBBHHII', w & 0xff, h & 0xff, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    return struct.pack('<HHH', 0, 1, len(images)) + b''.join(entries) + b''.join(blobs)


def cur_bytes(rows, hotspot, size=32):
    """Monochrome cursor from ASCII art: 'X' black, 'o' white, anything else clear."""
    w = h = size
    grid = [r.ljust(w, '.') for r in rows] + ['.' * w] * (h - len(rows))
    stride = ((w + 31) // 32) * 4
    xor = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if grid[y][x] == 'o':
                row[x >> 3] |= 0x80 >> (x & 7)
        xor += row
    clear = [grid[y][x] not in 'Xo' for y in range(h) for x in range(w)]
    mask = _and_mask(clear, w, h)
    palette = struct.pack('<BBBB', 0, 0, 0, 0) + struct.pack('<BBBB', 255, 255, 255, 0)
    blob = _dib_header(w, h * 2, 1, len(xor) + len(mask), 2) + palette + bytes(xor) + mask
    entry = struct.pack('<BBBBHHII', w, h, 2, 0, hotspot[0], hotspot[1], len(blob), 6 + 16)
    return struct.pack('<HHH', 0, 2, 1) + entry + blob


# ---------------------------------------------------------------------------
# Structural checks: parse what was written the way Windows will.

def check_bmp(data, want):
    w_want, h_want, bpp_want = want
    assert data[:2] == b'BM', 'no BM signature'
    size, _, _, off = struct.unpack_from('<IHHI', data, 2)
    assert size == len(data), 'bfSize %d != %d' % (size, len(data))
    bi = struct.unpack_from('<IiiHHIIiiII', data, 14)
    hsize, w, h, planes, bpp, comp, img_size, _, _, used, _ = bi
    assert hsize == 40 and planes == 1 and comp == 0, 'not a plain BITMAPINFOHEADER'
    assert (w, h, bpp) == (w_want, h_want, bpp_want), 'got %dx%d@%d' % (w, h, bpp)
    stride = ((w * bpp + 31) // 32) * 4
    assert img_size == stride * h and off + img_size == len(data), 'pixel data size'
    if bpp == 8:
        assert 0 < used <= 256 and off == 54 + 4 * used, 'palette size'
        top = max(data[off + y * stride + x] for y in range(h) for x in range(w))
        assert top < used, 'pixel index %d past palette of %d' % (top, used)
    else:
        assert off == 54


def check_icon(data, kind, hotspot=None):
    _, typ, count = struct.unpack_from('<HHH', data, 0)
    assert typ == kind and count >= 1, 'wrong icon/cursor type'
    sizes = []
    for i in range(count):
        w, h, colors, _, a, b, n, off = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
        w, h = w or 256, h or 256
        blob = data[off:off + n]
        assert len(blob) == n and blob[:4] != b'\x89PNG', 'entry %d is not a DIB' % i
        hsize, dw, dh, _, bpp = struct.unpack_from('<IiiHH', blob, 0)
        assert hsize == 40 and (dw, dh) == (w, 2 * h), 'DIB size of entry %d' % i
        pal = 4 * (1 << bpp) if bpp <= 8 else 0
        xor = ((w * bpp + 31) // 32) * 4 * h
        mask = ((w + 31) // 32) * 4 * h
        assert n == 40 + pal + xor + mask, 'entry %d length' % i
        if kind == 1:
            assert bpp == 32 and a == 1 and b == 32, 'icon entries are 32-bpp'
        else:
            assert (a, b) == hotspot, 'hotspot %r' % ((a, b),)
            # The hotspot pixel must be drawn, or clicks land on a clear pixel.
            row = h - 1 - b
            mbyte = blob[40 + pal + xor + row * ((w + 31) // 32) * 4 + (a >> 3)]
            assert not (mbyte & (0x80 >> (a & 7))), 'hotspot on a transparent pixel'
        sizes.append(w)
    if kind == 1:
        assert 16 in sizes and 32 in sizes, 'icon sizes %r' % sizes


# ---------------------------------------------------------------------------
# Decoders for the previews: read back the bytes that were written.

def decode_bmp(data):
    return Image.open(io.BytesIO(data)).convert('RGB')


def decode_dib_entry(data, index=0):
    """RGBA of one icon or cursor entry, read with our own eyes, masks and all."""
    w, h, _, _, _, _, n, off = struct.unpack_from('<BBBBHHII', data, 6 + 16 * index)
    blob = data[off:off + n]
    bpp = struct.unpack_from('<H', blob, 14)[0]
    pal_n = (1 << bpp) if bpp <= 8 else 0
    pal = [blob[40 + 4 * i:40 + 4 * i + 3] for i in range(pal_n)]
    xs = ((w * bpp + 31) // 32) * 4
    ms = ((w + 31) // 32) * 4
    base = 40 + 4 * pal_n
    out = Image.new('RGBA', (w, h))
    for y in range(h):
        row = base + (h - 1 - y) * xs
        mrow = base + xs * h + (h - 1 - y) * ms
        for x in range(w):
            clear = blob[mrow + (x >> 3)] & (0x80 >> (x & 7))
            if bpp == 32:
                b, g, r, a = blob[row + 4 * x:row + 4 * x + 4]
            else:
                bit = (blob[row + (x >> 3)] >> (7 - (x & 7))) & 1
                b, g, r = pal[bit]
                a = 0 if clear else 255
            out.putpixel((x, y), (r, g, b, a))
    return out


def icon_entries(data):
    count = struct.unpack_from('<H', data, 4)[0]
    return {decode_dib_entry(data, i).size[0]: decode_dib_entry(data, i) for i in range(count)}


def zoom(img, k):
    return img.resize((img.size[0] * k, img.size[1] * k), Image.NEAREST)


