#!/usr/bin/env python3
"""Draws Pendrix's icons as 256-colour .ico files. The results are
committed; run this again only to change the artwork:

    scripts/make-icon.py shared/pendrix.ico          key cap with a "P",
                                                     48x48, 16x16 and 32x32
    scripts/make-icon.py --square red config/disabled.ico
    scripts/make-icon.py --square green config/enabled.ico
                                                     32x32 solid squares with
                                                     a 2-pixel transparent margin
"""
import struct
import sys

PALETTE = [
    (0, 0, 0),        # 0 transparent (masked)
    (30, 41, 59),     # 1 outline
    (37, 99, 235),    # 2 key face
    (96, 165, 250),   # 3 key top edge
    (255, 255, 255),  # 4 letter
    (15, 23, 42),     # 5 key shadow
]

GLYPH_P = [
    "11110",
    "10001",
    "10001",
    "11110",
    "10000",
    "10000",
    "10000",
]


def inside_rounded(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def draw(size):
    px = [[0] * size for _ in range(size)]
    m = max(1, size // 16)
    r = max(2, size // 6)
    for y in range(size):
        for x in range(size):
            c = x + 0.5
            d = y + 0.5
            if inside_rounded(c, d, m, m, size - m, size - m, r):
                px[y][x] = 5
            if inside_rounded(c, d, m, m, size - m, size - 2 * m - size // 16, r):
                px[y][x] = 1
            if inside_rounded(c, d, 2 * m, 2 * m, size - 2 * m, size - 3 * m - size // 16, r - m // 2):
                px[y][x] = 2
            if px[y][x] == 2 and d < 2 * m + max(1, size // 12):
                px[y][x] = 3
    gw, gh = len(GLYPH_P[0]), len(GLYPH_P)
    cell = max(1, (size * 9 // 16) // gh)
    ox = (size - gw * cell) // 2
    oy = (size - 3 * m - gh * cell) // 2 + m // 2
    for gy, row in enumerate(GLYPH_P):
        for gx, bit in enumerate(row):
            if bit == "1":
                for yy in range(cell):
                    for xx in range(cell):
                        px[oy + gy * cell + yy][ox + gx * cell + xx] = 4
    return px


SQUARES = {"red": (220, 38, 38), "green": (22, 163, 74)}


def draw_square(size):
    return [[6 if 2 <= x < size - 2 and 2 <= y < size - 2 else 0 for x in range(size)]
            for y in range(size)]


def bmp_image(size, px=None):
    if px is None:
        px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    palette += b"\0" * (4 * (256 - len(PALETTE)))
    row_bytes = (size + 3) & ~3
    xor = b""
    for y in reversed(range(size)):
        xor += bytes(px[y]) + b"\0" * (row_bytes - size)
    mask_row = ((size + 31) // 32) * 4
    andm = b""
    for y in reversed(range(size)):
        bits = bytearray(mask_row)
        for x in range(size):
            if px[y][x] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        andm += bytes(bits)
    return header + palette + xor + andm


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--square":
        PALETTE.append(SQUARES[sys.argv[2]])
        out = sys.argv[3]
        sizes = [32]
        images = [bmp_image(32, draw_square(32))]
    else:
        out = sys.argv[1] if len(sys.argv) > 1 else "shared/pendrix.ico"
        sizes = [48, 16, 32]
        images = [bmp_image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 8, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
