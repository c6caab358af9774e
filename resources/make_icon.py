#!/usr/bin/env python3
"""Draws the program's icon, main_icon.ico: 32 x 32 pixels, 16 colours.

A closed brown carton with a green arrow pointing down out of it, on a
transparent background. Run it from this folder to regenerate the file.
"""
import struct

# The 16-colour VGA palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, BROWN, GREEN, GREY, YELLOW, LIME = 0, 3, 2, 8, 11, 10
CLEAR = None
SIZE = 32


def draw():
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = colour

    # The carton: a lid band, a body, a black outline and a tape strip.
    fill(3, 12, 28, 30, BROWN)
    fill(3, 12, 28, 15, YELLOW)
    fill(14, 12, 17, 30, GREY)
    for x in range(3, 29):
        px[12][x] = px[30][x] = BLACK
    for y in range(12, 31):
        px[y][3] = px[y][28] = BLACK
    # The arrow: a shaft from the top edge, a head over the lid.
    fill(13, 0, 18, 9, LIME)
    for row, y in enumerate(range(7, 14)):
        fill(8 + row, y, 23 - row, y, LIME)
    for y in range(0, 10):
        px[y][12] = px[y][19] = GREEN
    for row, y in enumerate(range(7, 14)):
        px[y][8 + row] = px[y][23 - row] = GREEN
    return px


def ico(px):
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # bitmaps are stored bottom-up
        row = px[y]
        for x in range(0, SIZE, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            xor.append(hi << 4 | lo)
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open("main_icon.ico", "wb") as out:
        out.write(ico(draw()))
