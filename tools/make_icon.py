#!/usr/bin/env python3
"""Writes res/varno.ico: a drawing sheet with a green tick, in 16, 32 and 48
pixels, each in 16 and in 256 colours."""
import struct
import sys

# The 16 standard colours (B, G, R); the 256-colour images use the same ones.
VGA = [(0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
       (128, 128, 0), (192, 192, 192), (128, 128, 128), (0, 0, 255), (0, 255, 0),
       (0, 255, 255), (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255)]
# (r, g, b) -> palette index
BLACK, DKBLUE, DKGREEN, GREY, LTGREY, BLUE, GREEN, WHITE = 0, 4, 2, 8, 7, 12, 10, 15
# VGA is in (B, G, R) order here: index 12 is (255, 0, 0) = blue, 10 = green.


def draw(n):
    """Returns an n x n grid of palette indices, None for transparent."""
    px = [[None] * n for _ in range(n)]
    s = n / 16.0
    x0, y0, x1, y1 = int(2 * s), int(1 * s), int(13 * s), int(15 * s)
    for y in range(y0, y1):
        for x in range(x0, x1):
            edge = x in (x0, x1 - 1) or y in (y0, y1 - 1)
            px[y][x] = GREY if edge else WHITE
    # drawing lines on the sheet
    for k in range(3):
        yy = int((4 + 3 * k) * s)
        for x in range(int(4 * s), int(11 * s)):
            px[yy][x] = BLUE if k != 1 else DKBLUE
    # a green tick in the lower right
    w = max(1, int(s * 1.2))
    pts = [(7, 10), (9, 12), (15, 5)]
    for (ax, ay), (bx, by) in zip(pts, pts[1:]):
        steps = int(max(abs(bx - ax), abs(by - ay)) * s * 2) + 1
        for i in range(steps + 1):
            cx = (ax + (bx - ax) * i / steps) * s
            cy = (ay + (by - ay) * i / steps) * s
            for dy in range(w):
                for dx in range(w):
                    X, Y = int(cx) + dx, int(cy) + dy
                    if 0 <= X < n and 0 <= Y < n:
                        px[Y][X] = DKGREEN if dx == 0 and dy == 0 and n > 16 else GREEN
    return px


def image(n, bpp):
    px = draw(n)
    colours = 16 if bpp == 4 else 256
    palette = b"".join(struct.pack("<BBBB", *VGA[i % 16], 0) if i < 16 else b"\0\0\0\0"
                       for i in range(colours))
    xor_row = ((n * bpp + 31) // 32) * 4
    and_row = ((n + 31) // 32) * 4
    xor = bytearray()
    andm = bytearray()
    for y in reversed(range(n)):  # bottom-up
        row = bytearray(xor_row)
        mrow = bytearray(and_row)
        for x in range(n):
            v = px[y][x]
            if v is None:
                mrow[x // 8] |= 0x80 >> (x % 8)
                v = 0
            if bpp == 4:
                row[x // 2] |= v << (4 if x % 2 == 0 else 0)
            else:
                row[x] = v
        xor += row
        andm += mrow
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bpp, 0, len(xor) + len(andm), 0, 0,
                         colours, 0)
    return header + palette + bytes(xor) + bytes(andm)


def main(out):
    images = [(n, bpp, image(n, bpp)) for n in (16, 32, 48) for bpp in (4, 8)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, bpp, img in images:
        data += struct.pack("<BBBBHHII", n, n, 16 if bpp == 4 else 0, 0, 1, bpp, len(img), offset)
        offset += len(img)
    data += b"".join(img for _, _, img in images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "res/varno.ico")
