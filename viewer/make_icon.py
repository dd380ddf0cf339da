#!/usr/bin/env python3
"""Writes viewer.ico: a printer with a green-bar listing, 16x16 and 32x32,
32 bits per pixel.  Run it again only to change the icon; the .ico is
committed."""
import struct
import sys


def pixel(x, y, n):
    """RGBA of the picture at (x, y) on an n x n grid (y grows downwards)."""
    s = n / 32.0
    # paper coming out of the printer: green-bar listing
    if 8 * s <= x < 24 * s and 2 * s <= y < 14 * s:
        if x in (int(8 * s), int(24 * s) - 1):
            return (90, 90, 90, 255)
        band = int((y - 2 * s) / (2 * s)) % 2
        return (200, 235, 200, 255) if band else (250, 250, 250, 255)
    # printer body
    if 3 * s <= x < 29 * s and 13 * s <= y < 25 * s:
        if y < 14 * s or x < 4 * s or x >= 28 * s or y >= 24 * s:
            return (40, 40, 60, 255)
        if 23 * s <= x < 26 * s and 16 * s <= y < 18 * s:
            return (40, 200, 60, 255)  # ready light
        return (110, 120, 150, 255)
    # output tray
    if 6 * s <= x < 26 * s and 25 * s <= y < 29 * s:
        return (250, 250, 250, 255) if y < 28 * s else (40, 40, 60, 255)
    return (0, 0, 0, 0)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    mask = b""
    for y in range(n - 1, -1, -1):
        bits = 0
        out = bytearray(mask_row)
        for x in range(n):
            if pixel(x, y, n)[3] == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(path):
    sizes = [16, 32]
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "viewer.ico")
