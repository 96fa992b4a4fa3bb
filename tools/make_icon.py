#!/usr/bin/env python3
"""Draws the application icon (a camera) and writes it as a Windows .ico file.

Usage: make_icon.py OUTPUT.ico

Each size is rendered from the same vector shapes with 4x4 supersampling and
stored as an 8-bit palette bitmap with only the colours it uses, plus the
1-bit transparency mask: small, and readable by every Windows version and by
Wine. Standard library only, so that the icon can be rebuilt anywhere.
"""
import math
import struct
import sys

SIZES = (16, 32, 48)
SUPERSAMPLE = 4

# Colours of the motif (RGB).
BODY = (55, 71, 79)
BODY_TOP = (84, 110, 122)
GRIP = (38, 50, 56)
LENS_RING = (207, 216, 220)
LENS_OUTER = (21, 101, 192)
LENS_INNER = (13, 71, 161)
LENS_LIGHT = (100, 181, 246)
GLINT = (255, 255, 255)
SHUTTER = (255, 112, 67)
FLASH = (255, 213, 79)


def rounded_rect(x, y, left, top, right, bottom, radius):
    """True when (x, y) lies inside the rectangle with rounded corners."""
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def sample(x, y):
    """Colour of the motif at (x, y) in a 0..1 square, or None for transparent.

    Shapes are tested from the front to the back."""
    lens_x, lens_y = 0.5, 0.57
    d = math.hypot(x - lens_x, y - lens_y)
    if d <= 0.05 and x < lens_x and y < lens_y:
        return GLINT
    if math.hypot(x - (lens_x - 0.06), y - (lens_y - 0.06)) <= 0.05:
        return LENS_LIGHT
    if d <= 0.12:
        return LENS_INNER
    if d <= 0.19:
        return LENS_OUTER
    if d <= 0.25:
        return LENS_RING
    if rounded_rect(x, y, 0.70, 0.36, 0.84, 0.44, 0.02):
        return FLASH
    if rounded_rect(x, y, 0.04, 0.26, 0.96, 0.86, 0.09):
        if x < 0.16 and 0.36 < y < 0.80:
            return GRIP
        return BODY_TOP if y < 0.36 else BODY
    # Viewfinder hump and shutter button on top of the body.
    if rounded_rect(x, y, 0.32, 0.14, 0.68, 0.30, 0.05):
        return BODY_TOP
    if rounded_rect(x, y, 0.12, 0.18, 0.26, 0.30, 0.03):
        return SHUTTER
    return None


def render(size):
    """Rows (top first) of (r, g, b) or None per pixel."""
    rows = []
    step = 1.0 / (size * SUPERSAMPLE)
    for py in range(size):
        row = []
        for px in range(size):
            hits = []
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = (px * SUPERSAMPLE + sx + 0.5) * step
                    y = (py * SUPERSAMPLE + sy + 0.5) * step
                    colour = sample(x, y)
                    if colour is not None:
                        hits.append(colour)
            # Half coverage or more makes the pixel opaque; its colour is the
            # mean of the covered samples, which softens inner edges.
            if len(hits) * 2 >= SUPERSAMPLE * SUPERSAMPLE:
                row.append(tuple(sum(c[i] for c in hits) // len(hits) for i in range(3)))
            else:
                row.append(None)
        rows.append(row)
    return rows


def quantize(rows):
    """Maps every colour onto a palette of at most 256 entries."""
    for levels in (32, 16, 8, 4):
        unit = 256 // levels

        def snap(c):
            return tuple(min(255, (v // unit) * unit + unit // 2) for v in c)

        # Entry 0 is black: transparent pixels use it, because the platform
        # draws an icon as (screen AND mask) XOR colour.
        palette = [(0, 0, 0)] + sorted(
            {snap(c) for row in rows for c in row if c is not None} - {(0, 0, 0)})
        if len(palette) <= 256:
            index = {c: i for i, c in enumerate(palette)}
            return palette, [[None if c is None else index[snap(c)] for c in row]
                             for row in rows]
    raise ValueError("too many colours")


def bitmap_entry(size):
    """One icon image: BITMAPINFOHEADER, palette, 8-bit pixels, AND mask."""
    rows = render(size)
    palette, indexed = quantize(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0,
                         len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    pixel_stride = (size + 3) & ~3
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(indexed):  # bitmaps are stored bottom-up
        line = bytes(0 if i is None else i for i in row)
        pixels += line + bytes(pixel_stride - size)
        bits = bytearray(mask_stride)
        for x, i in enumerate(row):
            if i is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colours + bytes(pixels) + bytes(mask), len(palette)


def build_icon():
    entries = [(size,) + bitmap_entry(size) for size in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    table = b""
    images = b""
    for size, data, _colours in entries:
        table += struct.pack("<BBBBHHII", size, size, 0,
                             0, 1, 8, len(data), offset)
        offset += len(data)
        images += data
    return directory + table + images


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    with open(argv[1], "wb") as out:
        out.write(build_icon())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
