#!/usr/bin/env python3
"""Writes src/app/orvane.ico: one 32x32 image, 16 colours (4 bits per pixel), standard VGA palette.

The picture is a cyan ring (the "O" of Orvane) on a dark blue tile, with a yellow "V" inside.
Run it from anywhere: python3 scripts/make-orvane-icon.py [output path]
"""
import os
import struct
import sys

SIZE = 32

# The 16-colour VGA palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, NAVY, GREY, YELLOW, CYAN, WHITE = 0, 4, 8, 11, 14, 15


def in_rounded_tile(x, y):
    """The tile is the whole image with its four corners cut by a radius of 4 pixels."""
    r = 4
    cx = min(max(x, r), SIZE - 1 - r)
    cy = min(max(y, r), SIZE - 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def pixel(x, y):
    """Colour index of the pixel at (x, y), top-left origin, or None when it is transparent."""
    if not in_rounded_tile(x, y):
        return None
    # Pixel centres, measured from the image centre.
    dx, dy = x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2
    d2 = dx * dx + dy * dy
    if 10.5 ** 2 <= d2 <= 13.5 ** 2:
        return CYAN
    # A "V" from (10, 9) and (21, 9) down to (15.5, 22), three pixels wide.
    if 9 <= y <= 22:
        t = (y - 9) / 13.0
        left = 10 + t * 5.5
        right = 21 - t * 5.5
        if abs(x + 0.5 - (left + 0.5)) <= 1.5 or abs(x + 0.5 - (right + 0.5)) <= 1.5:
            return YELLOW
    edge = x in (0, SIZE - 1) or y in (0, SIZE - 1)
    return GREY if edge else NAVY


def icon_bytes():
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bottom-up rows
        row = rows[y]
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else BLACK
            lo = row[x + 1] if row[x + 1] is not None else BLACK
            xor.append((hi << 4) | lo)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)  # 32 pixels = 4 bytes, already DWORD aligned
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src", "app", "orvane.ico")
    with open(out, "wb") as f:
        f.write(icon_bytes())


if __name__ == "__main__":
    main()
