#!/usr/bin/env python3
"""Writes the about window's two images into res/:

  hand.cur        the pointing-hand cursor: 32 x 32, monochrome, hot spot at
                  column 6, row 0 (the finger tip)
  abouthead.ico   the header icon: 32 x 32, 24-bit colour, with a mask

Both files are committed; run this again only to change the pictures:
    python3 tools/make_about_res.py
"""
import os
import struct

SIZE = 32
HOT_X, HOT_Y = 6, 0

# X black, o white, . transparent. The finger tip's left pixel is column 6 of row 0.
HAND = """
......XX
.....XooX
.....XooX
.....XooX
.....XooX
.....XooXXX
.....XooXooXXX
.....XooXooXooXX
.....XooXooXooXoX
.XX..XooXooXooXooX
.XooXXooooooooXooX
.XoooXoooooooooooX
..XooooooooooooooX
...XoooooooooooooX
...XooooooooooooX
....XoooooooooooX
....XooooooooooX
.....XoooooooooX
.....XoooooooooX
.....XXXXXXXXXXX
""".strip("\n").split("\n")


def rows_bottom_up(rows):
    return list(reversed(rows))


def pack_bits(bits):
    """32 booleans -> 4 bytes, most significant bit first."""
    out = bytearray(4)
    for x, b in enumerate(bits):
        if b:
            out[x // 8] |= 0x80 >> (x % 8)
    return bytes(out)


def make_cursor():
    grid = [row.ljust(SIZE, ".") for row in HAND] + ["." * SIZE] * (SIZE - len(HAND))
    assert len(grid) == SIZE and all(len(r) == SIZE for r in grid)
    assert grid[HOT_Y][HOT_X] == "X", "the hot spot must lie on the finger tip"
    # Colour table index 0 black, 1 white. Opaque pixels: AND 0, XOR colour;
    # transparent pixels: AND 1, XOR 0.
    xor = b"".join(pack_bits([c == "o" for c in r]) for r in rows_bottom_up(grid))
    mask = b"".join(pack_bits([c == "." for c in r]) for r in rows_bottom_up(grid))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 1, 0, len(xor) + len(mask), 0, 0,
                         2, 0)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 2, 0, HOT_X,
                                                             HOT_Y, len(image), 6 + 16)
    return directory + image


def make_icon():
    """A blue rounded tile with a white V and a small drawing sheet corner."""
    white = (255, 255, 255)
    blue = (28, 92, 176)
    dark = (16, 56, 112)
    orange = (240, 150, 30)
    px = [[None] * SIZE for _ in range(SIZE)]  # None: transparent

    def inside_rounded(x, y, lo, hi, r):
        cx = min(max(x, lo + r), hi - r)
        cy = min(max(y, lo + r), hi - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    for y in range(SIZE):
        for x in range(SIZE):
            if inside_rounded(x + 0.5, y + 0.5, 1, 31, 6):
                px[y][x] = dark
            if inside_rounded(x + 0.5, y + 0.5, 2, 30, 5):
                px[y][x] = blue

    def dist_to_segment(x, y, x0, y0, x1, y1):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / float(dx * dx + dy * dy)))
        return ((x - (x0 + t * dx)) ** 2 + (y - (y0 + t * dy)) ** 2) ** 0.5

    # The letter V.
    for y in range(SIZE):
        for x in range(SIZE):
            p = (x + 0.5, y + 0.5)
            if min(dist_to_segment(*p, 8, 8, 16, 24), dist_to_segment(*p, 24, 8, 16, 24)) <= 2.0:
                px[y][x] = white
    # An orange dog-ear in the upper right corner.
    for y in range(3, 10):
        for x in range(22, 29):
            if x - 22 >= y - 3:
                px[y][x] = orange

    # 24-bit rows, bottom-up, BGR, each row 96 bytes (already a multiple of 4);
    # transparent pixels are black under a set mask bit, so they leave the
    # background as it is.
    black = (0, 0, 0)
    xor = b"".join(bytes(c for p in row for c in (p or black)[::-1]) for row in rows_bottom_up(px))
    mask = b"".join(pack_bits([p is None for p in row]) for row in rows_bottom_up(px))
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 24, 0, len(xor) + len(mask), 0, 0,
                         0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 24,
                                                             len(image), 6 + 16)
    return directory + image


def main():
    res = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "res")
    os.makedirs(res, exist_ok=True)
    for name, data in (("hand.cur", make_cursor()), ("abouthead.ico", make_icon())):
        with open(os.path.join(res, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
