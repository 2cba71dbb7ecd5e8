#!/usr/bin/env python3
"""Draws the application icon, a sheet holding a small table, and writes it
as res/quilldex.ico with a 16x16 and a 32x32 image (32-bit colour with an
alpha channel, plus the 1-bit mask that older systems draw from).

Run it again after changing the drawing: python3 res/make_icon.py
"""
import os
import struct

OUTLINE = (64, 64, 72, 255)
PAPER = (255, 255, 255, 255)
FOLD = (208, 212, 220, 255)
HEADER = (38, 102, 204, 255)
ROW = (150, 162, 180, 255)
CLEAR = (0, 0, 0, 0)


def draw(size):
    """The icon at `size` pixels square, as rows of RGBA tuples, top row first."""
    if size == 32:
        left, top, right, bottom, fold = 5, 2, 26, 29, 6
        header = (8, 11, 23, 13)
        rows = [(16, 17), (20, 21), (24, 25)]
        column = 15
    else:
        left, top, right, bottom, fold = 2, 1, 13, 14, 3
        header = (4, 5, 11, 6)
        rows = [(8, 8), (10, 10), (12, 12)]
        column = 7

    pixels = [[CLEAR] * size for _ in range(size)]
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            # The folded top right corner: cut off above the diagonal.
            into_corner = (x - (right - fold)) - (y - top)
            if into_corner > 0:
                continue
            edge = x in (left, right) or y in (top, bottom) or into_corner == 0
            pixels[y][x] = OUTLINE if edge else PAPER
    # The turned-down flap of the corner.
    for y in range(top, top + fold + 1):
        for x in range(right - fold, right + 1):
            flap = (x - (right - fold)) - (y - top)
            if flap <= 0 and (x == right - fold or y == top + fold):
                pixels[y][x] = OUTLINE
            elif flap < 0:
                pixels[y][x] = FOLD

    hx0, hy0, hx1, hy1 = header
    for y in range(hy0, hy1 + 1):
        for x in range(hx0, hx1 + 1):
            pixels[y][x] = HEADER
    for y0, y1 in rows:
        for y in range(y0, y1 + 1):
            for x in range(hx0, hx1 + 1):
                if x != column:
                    pixels[y][x] = ROW
    return pixels


def dib(pixels):
    """A BITMAPINFOHEADER, the colour rows and the mask rows, bottom row first."""
    size = len(pixels)
    colour = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def icon_file(sizes):
    images = [dib(draw(size)) for size in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = len(data) + 16 * len(images)
    for size, image in zip(sizes, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return data + b"".join(images)


if __name__ == "__main__":
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "quilldex.ico")
    with open(target, "wb") as out:
        out.write(icon_file([16, 32]))
