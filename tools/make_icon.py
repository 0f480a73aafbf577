#!/usr/bin/env python3
"""Draw the Velmor application icon and write it as res/velmor.ico.

The icon holds two images, 32x32 and 16x16, both 16 colours (4 bits per
pixel) on the standard 16-colour palette of VGA display drivers. Each image
is stored the classic way: a BITMAPINFOHEADER whose height counts the XOR
and the AND mask together, the palette, the 4-bpp XOR bitmap and the 1-bpp
AND (transparency) mask, rows bottom-up and padded to 4 bytes.

The design is a two-tone yellow "V" on a navy disc with a dark rim; the
corners outside the disc are transparent.

Usage: make_icon.py [output-path]   (default: ../res/velmor.ico beside this
script). Only the standard library is used; the output is deterministic.
"""

import math
import os
import struct
import sys

# The 16-colour palette, in the order of the system's default palette.
PALETTE = [
    (0x00, 0x00, 0x00),  # 0  black
    (0x80, 0x00, 0x00),  # 1  dark red
    (0x00, 0x80, 0x00),  # 2  dark green
    (0x80, 0x80, 0x00),  # 3  olive
    (0x00, 0x00, 0x80),  # 4  navy
    (0x80, 0x00, 0x80),  # 5  purple
    (0x00, 0x80, 0x80),  # 6  teal
    (0xC0, 0xC0, 0xC0),  # 7  light grey
    (0x80, 0x80, 0x80),  # 8  dark grey
    (0xFF, 0x00, 0x00),  # 9  red
    (0x00, 0xFF, 0x00),  # 10 green
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 magenta
    (0x00, 0xFF, 0xFF),  # 14 cyan
    (0xFF, 0xFF, 0xFF),  # 15 white
]

BLACK, OLIVE, NAVY, DARK_GREY, YELLOW, BLUE = 0, 3, 4, 8, 11, 12
TRANSPARENT = None

# Shapes in unit coordinates: (0, 0) is the top-left corner of the image,
# (1, 1) the bottom-right one.
DISC_CENTRE = (0.5, 0.5)
DISC_RADIUS = 0.48
RIM_WIDTH = 0.07
V_TOP_Y = 0.22
V_LEFT_X = 0.25
V_RIGHT_X = 0.75
V_BOTTOM = (0.5, 0.82)
V_HALF_WIDTH = 0.085

SUBSAMPLES = 4  # per axis, per pixel


def segment_distance(px, py, ax, ay, bx, by):
    """Distance from point p to the segment a-b."""
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = max(0.0, min(1.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def sample(x, y):
    """Colour index of the design at unit point (x, y), or TRANSPARENT."""
    r = math.hypot(x - DISC_CENTRE[0], y - DISC_CENTRE[1])
    if r > DISC_RADIUS:
        return TRANSPARENT
    # The strokes are cut flat at the top of the V.
    if y >= V_TOP_Y:
        bx, by = V_BOTTOM
        if segment_distance(x, y, V_LEFT_X, V_TOP_Y, bx, by) <= V_HALF_WIDTH:
            return YELLOW
        if segment_distance(x, y, V_RIGHT_X, V_TOP_Y, bx, by) <= V_HALF_WIDTH:
            return OLIVE
    if r > DISC_RADIUS - RIM_WIDTH:
        return DARK_GREY
    # A lighter band across the upper half gives the disc some depth.
    if y < 0.5 - 0.6 * (x - 0.5) - 0.18:
        return BLUE
    return NAVY


def render(size):
    """Pixels of one image, top row first: lists of colour index or None."""
    rows = []
    n = SUBSAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            votes = {}
            for sy in range(n):
                for sx in range(n):
                    x = (px + (sx + 0.5) / n) / size
                    y = (py + (sy + 0.5) / n) / size
                    c = sample(x, y)
                    votes[c] = votes.get(c, 0) + 1
            opaque = n * n - votes.pop(TRANSPARENT, 0)
            if opaque * 2 < n * n:
                row.append(TRANSPARENT)
                continue
            # The V wins over the disc when it covers a fair part of the
            # pixel, so that the strokes survive at 16x16.
            for stroke in (YELLOW, OLIVE):
                if votes.get(stroke, 0) * 3 >= n * n:
                    row.append(stroke)
                    break
            else:
                row.append(max(sorted(votes), key=lambda c: votes[c]))
        rows.append(row)
    return rows


def padded(data):
    return data + b"\0" * (-len(data) % 4)


def image_bytes(size):
    """One icon image: header, palette, XOR bitmap, AND mask."""
    pixels = render(size)
    xor = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bitmaps are stored bottom-up
        line = bytearray()
        for i in range(0, size, 2):
            hi = row[i] if row[i] is not TRANSPARENT else BLACK
            lo = row[i + 1] if row[i + 1] is not TRANSPARENT else BLACK
            line.append((hi << 4) | lo)
        xor += padded(bytes(line))
        bits = bytearray((size + 7) // 8)
        for i, c in enumerate(row):
            if c is TRANSPARENT:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask += padded(bytes(bits))

    header = struct.pack(
        "<IiiHHIIiiII",
        40,                     # biSize
        size,                   # biWidth
        size * 2,               # biHeight: XOR and AND mask
        1,                      # biPlanes
        4,                      # biBitCount
        0,                      # biCompression: BI_RGB
        len(xor) + len(mask),   # biSizeImage
        0, 0,                   # biXPelsPerMeter, biYPelsPerMeter
        16,                     # biClrUsed
        0)                      # biClrImportant
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def icon_file(sizes):
    images = [image_bytes(s) for s in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))  # ICONDIR
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        out += struct.pack(
            "<BBBBHHII",
            s, s,       # width, height
            16,         # colours
            0,          # reserved
            1,          # planes
            4,          # bits per pixel
            len(data),
            offset)
        offset += len(data)
    for data in images:
        out += data
    return bytes(out)


def main():
    if len(sys.argv) > 1:
        path = sys.argv[1]
    else:
        here = os.path.dirname(os.path.abspath(__file__))
        path = os.path.join(here, os.pardir, "res", "velmor.ico")
    with open(path, "wb") as f:
        f.write(icon_file([32, 16]))
    print("wrote", os.path.normpath(path))


if __name__ == "__main__":
    main()
