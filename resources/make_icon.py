#!/usr/bin/env python3
"""Draws the program's icon, main_icon.ico, in 16 colours at every size the
dialog needs at 96, 120, 144 and 192 DPI: 16, 20, 24 and 32 pixels for the
caption (the small icon), 32, 40, 48 and 64 for the task switcher (the large
icon). The sizes up to 32 are bitmaps, as every system reads them; 40, 48
and 64 are PNG images, which take a fraction of the room.

A closed brown carton with a green arrow pointing down out of it, on a
transparent background. The picture is described on a 32-unit grid and
drawn at each size by sampling every pixel's centre, so that every size is
drawn, not scaled, and its edges stay sharp. Run it from this folder to
regenerate the file.
"""
import struct
import zlib

# The 16-colour VGA palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, BROWN, GREEN, GREY, YELLOW, LIME = 0, 3, 2, 8, 11, 10
CLEAR = None
BITMAP_SIZES = [16, 20, 24, 32]
PNG_SIZES = [40, 48, 64]


def draw(size):
    scale = 32 / size
    line = max(1, round(size / 32)) * scale  # an outline's width, in grid units
    px = [[CLEAR] * size for _ in range(size)]

    def head(y):  # the arrow head's row y: from left to right, in grid units
        row = int(y) - 7
        return 8 + row, 24 - row

    for py in range(size):
        for px_x in range(size):
            x, y = (px_x + 0.5) * scale, (py + 0.5) * scale
            colour = CLEAR
            # The carton: a body, a lid band, a tape strip, a black outline.
            if 3 <= x < 29 and 12 <= y < 31:
                colour = BROWN
                if y < 16:
                    colour = YELLOW
                if 14 <= x < 18:
                    colour = GREY
                if x < 3 + line or x >= 29 - line or y < 12 + line or y >= 31 - line:
                    colour = BLACK
            # The arrow: a shaft from the top edge, a head over the lid,
            # each with a dark green edge.
            if 12 <= x < 20 and y < 10:
                colour = GREEN if x < 12 + line or x >= 20 - line else LIME
            if 7 <= y < 14:
                left, right = head(y)
                if left <= x < right:
                    colour = GREEN if x < left + line or x >= right - line else LIME
            px[py][px_x] = colour
    return px


def bitmap(px):
    size = len(px)
    stride = (size * 4 + 31) // 32 * 4
    mask_stride = (size + 31) // 32 * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(px):  # bitmaps are stored bottom-up
        line = bytearray()
        for x in range(0, size, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if x + 1 < size and row[x + 1] is not None else 0
            line.append(hi << 4 | lo)
        xor += line.ljust(stride, b"\0")
        bits = 0
        for c in row:
            bits = bits << 1 | (1 if c is None else 0)
        bits <<= mask_stride * 8 - size
        mask += bits.to_bytes(mask_stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def png(px):
    """A palette PNG of 4 bits a pixel with the colours the picture uses,
    the last one transparent."""
    size = len(px)
    used = sorted({c for row in px for c in row if c is not None})
    index = {c: i for i, c in enumerate(used)}
    clear = len(used)
    raw = bytearray()
    for row in px:
        raw.append(0)  # no filter
        values = [index[c] if c is not None else clear for c in row]
        for x in range(0, size, 2):
            raw.append(values[x] << 4 | (values[x + 1] if x + 1 < size else 0))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    plte = b"".join(bytes(PALETTE[c]) for c in used) + b"\0\0\0"
    trns = b"\xff" * len(used) + b"\0"
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 4, 3, 0, 0, 0)) +
            chunk(b"PLTE", plte) + chunk(b"tRNS", trns) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def ico():
    images = [(s, bitmap(draw(s))) for s in BITMAP_SIZES] + \
             [(s, png(draw(s))) for s in PNG_SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, data in images)


if __name__ == "__main__":
    with open("main_icon.ico", "wb") as out:
        out.write(ico())
