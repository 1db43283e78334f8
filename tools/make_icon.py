#!/usr/bin/env python3
"""Draws the program icon: a dark device case with a green 20 x 4 dot-matrix
display showing a few characters and a row of keys below it.

The picture is drawn once at 128 x 128 with a 256-colour palette. It is
written either as the Windows program's .ico file (the palettised image as an
8-bit BMP with its transparency mask), or as an RGBA PNG of any size for the
Linux desktop's icon theme: each pixel of the PNG is the average of the
picture's pixels under it, weighted by how much of each it covers and by
their opacity, so 256 doubles every pixel and smaller sizes are smoothed.
Only integer arithmetic and the standard library are used, so every run
writes the same bytes whatever the interpreter.

Usage: make_icon.py OUTPUT.ico
       make_icon.py --png SIZE OUTPUT.png
"""
import struct
import sys
import zlib

SIZE = 128

# Palette indices and their colours (red, green, blue).
CLEAR, CASE, CASE_EDGE, FRAME, GLASS, DOT_OFF, DOT_ON, KEY, KEY_SHADE, KEY_ACCENT = range(10)
COLOURS = [
    (0, 0, 0),  # behind the transparency mask
    (52, 56, 66),
    (26, 28, 34),
    (50, 96, 28),
    (153, 255, 51),  # the display's own dot-off green
    (132, 228, 40),
    (18, 44, 14),
    (206, 210, 216),
    (118, 122, 132),
    (236, 128, 44),
]

# 5 x 7 dot patterns of the characters on the display, top row first.
GLYPHS = {
    " ": ["00000"] * 7,
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "D": ["11100", "10010", "10001", "10001", "10001", "10010", "11100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "10001", "11001", "10101", "10011", "10001", "10001"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    ".": ["00000", "00000", "00000", "00000", "00000", "01100", "01100"],
    "#": ["11111"] * 7,
}

SCREEN = [
    "  ZEZODAVORU 1.1    ",
    "                    ",
    "COM 1   19200 8N1   ",
    "##########          ",
]


def rounded_inside(x, y, left, top, right, bottom, radius):
    """Whether pixel (x, y) lies in the rectangle with rounded corners."""
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def fill(pixels, left, top, right, bottom, index):
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            pixels[y][x] = index


def draw():
    pixels = [[CLEAR] * SIZE for _ in range(SIZE)]
    opaque = [[False] * SIZE for _ in range(SIZE)]
    # Case with a darker edge.
    for y in range(SIZE):
        for x in range(SIZE):
            if rounded_inside(x, y, 0, 4, 127, 123, 10):
                opaque[y][x] = True
                inner = rounded_inside(x, y, 1, 5, 126, 122, 9)
                pixels[y][x] = CASE if inner else CASE_EDGE
    # Display glass in its frame.
    fill(pixels, 2, 12, 125, 61, FRAME)
    fill(pixels, 3, 13, 124, 60, GLASS)
    # 20 x 4 cells of 5 x 8 dots, 6 dots apart across and 10 down.
    for row, text in enumerate(SCREEN):
        for column, char in enumerate(text):
            glyph = GLYPHS[char] + ["00000"]
            left, top = 4 + 6 * column, 18 + 10 * row
            for dy, bits in enumerate(glyph):
                for dx, bit in enumerate(bits):
                    pixels[top + dy][left + dx] = DOT_ON if bit == "1" else DOT_OFF
    # Two rows of five keys; the last one stands out.
    for key_row in range(2):
        for key in range(5):
            left, top = 4 + 25 * key, 72 + 24 * key_row
            face = KEY_ACCENT if (key_row, key) == (1, 4) else KEY
            fill(pixels, left + 1, top + 1, left + 19, top + 17, KEY_SHADE)
            fill(pixels, left, top, left + 18, top + 16, face)
    return pixels, opaque


def icon_bytes(pixels, opaque):
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in COLOURS)
    palette += bytes(4 * (256 - len(COLOURS)))
    # Bitmap rows run from the bottom up; both masks are 4-byte aligned at 128.
    xor = b"".join(bytes(pixels[y]) for y in reversed(range(SIZE)))
    and_rows = []
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (0 if opaque[y][x] else 1)
        and_rows.append(bits.to_bytes(SIZE // 8, "big"))
    mask = b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 8, 0,
                         len(xor) + len(mask), 0, 0, 256, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    # Width and height 128, 0 meaning 256 colours, 1 plane, 8 bits per pixel.
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def scaled_rgba(pixels, opaque, size):
    """The picture at size x size as rows of (red, green, blue, alpha).

    Output pixel (ox, oy) covers the picture's square from ox * SIZE / size
    to (ox + 1) * SIZE / size across (and likewise down); measured in units
    of 1 / size picture pixels, every overlap is a whole number. Colours are
    averaged weighted by alpha (premultiplied), so the clear area behind the
    mask does not darken the edges.
    """
    # For each output column: the picture columns it overlaps, with weights.
    spans = []
    for o in range(size):
        start, end = o * SIZE, (o + 1) * SIZE
        span = []
        for x in range(start // size, min(SIZE, (end + size - 1) // size)):
            weight = min(end, (x + 1) * size) - max(start, x * size)
            if weight > 0:
                span.append((x, weight))
        spans.append(span)
    area = SIZE * SIZE
    rows = []
    for oy in range(size):
        row = []
        for ox in range(size):
            alpha_sum = red = green = blue = 0
            for y, wy in spans[oy]:
                for x, wx in spans[ox]:
                    if not opaque[y][x]:
                        continue
                    weight = wy * wx * 255
                    r, g, b = COLOURS[pixels[y][x]]
                    alpha_sum += weight
                    red += weight * r
                    green += weight * g
                    blue += weight * b
            if alpha_sum == 0:
                row.append((0, 0, 0, 0))
                continue
            half = alpha_sum // 2
            row.append(((red + half) // alpha_sum, (green + half) // alpha_sum,
                        (blue + half) // alpha_sum, (alpha_sum + area // 2) // area))
        rows.append(row)
    return rows


def png_bytes(rows):
    """An 8-bit RGBA PNG of the rows, unfiltered, at the highest compression."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    height, width = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


USAGE = "usage: make_icon.py OUTPUT.ico | make_icon.py --png SIZE OUTPUT.png"


def main():
    arguments = sys.argv[1:]
    if len(arguments) == 1 and not arguments[0].startswith("-"):
        pixels, opaque = draw()
        data = icon_bytes(pixels, opaque)
    elif len(arguments) == 3 and arguments[0] == "--png":
        if not arguments[1].isdigit() or not 1 <= int(arguments[1]) <= 1024:
            sys.exit("make_icon.py: --png SIZE must be 1 to 1024 pixels")
        pixels, opaque = draw()
        data = png_bytes(scaled_rgba(pixels, opaque, int(arguments[1])))
    else:
        sys.exit(USAGE)
    with open(arguments[-1], "wb") as out:
        out.write(data)


if __name__ == "__main__":
    main()
