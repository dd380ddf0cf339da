#!/usr/bin/env python3
"""Writes CorvalaAX.ico, the control's picture: a printer with a green-bar
listing, one 32x32 image in 16 colours (4 bits per pixel, the standard VGA
palette).  Run it again only to change the icon; the .ico is committed."""
import struct
import sys

# The 16 standard colours, as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREEN, SILVER, GREY, GREEN, WHITE = 0, 2, 7, 8, 10, 15
SIZE = 32


def pixel(x, y):
    """Palette index at (x, y), or None where the icon is transparent."""
    if 8 <= x < 24 and 2 <= y < 14:          # listing coming out
        if x in (8, 23):
            return GREY
        return GREEN if (y - 2) // 2 % 2 else WHITE
    if 3 <= x < 29 and 13 <= y < 25:         # printer body
        if y in (13, 24) or x in (3, 28):
            return BLACK
        if 23 <= x < 26 and 16 <= y < 18:
            return DARK_GREEN                # ready light
        return SILVER
    if 6 <= x < 26 and 25 <= y < 29:         # output tray
        return WHITE if y < 28 else BLACK
    return None


def image():
    xor = bytearray()
    mask = bytearray()
    for y in range(SIZE - 1, -1, -1):        # bottom-up
        row = [pixel(x, y) for x in range(SIZE)]
        for x in range(0, SIZE, 2):
            xor.append(((row[x] or 0) << 4) | (row[x + 1] or 0))
        bits = bytearray(4)
        for x in range(SIZE):
            if row[x] is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def main(path):
    data = image()
    out = struct.pack("<HHH", 0, 1, 1)
    out += struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(data), 6 + 16)
    with open(path, "wb") as f:
        f.write(out + data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "CorvalaAX.ico")
