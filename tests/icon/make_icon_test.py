#!/usr/bin/env python3
"""Tests of the icon tool (tools/make_icon.py): the PNGs of the Linux icon
theme against the Windows program's .ico.

The files are read back by decoders of their own here (standard library
only): the .ico's palettised bitmap with its mask, and the PNG's chunks with
their checksums. The 128-pixel PNG must be the .ico's picture pixel for
pixel, 256 must double every pixel, and at the smoothed sizes a pixel over
one colour keeps it exactly while the opaque area keeps its share of the
square. A bad size is refused.

Usage: make_icon_test.py PATH/TO/make_icon.py
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run_tool(tool, *arguments):
    return subprocess.run([sys.executable, tool, *arguments], capture_output=True, text=True)


def read_ico(path):
    """Rows of (r, g, b, a) of a one-image 8-bit palettised .ico."""
    data = open(path, "rb").read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if (kind, count) != (1, 1):
        raise ValueError("not a one-image icon")
    width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6)
    width, height = width or 256, height or 256
    header = struct.unpack_from("<IiiHHIIiiII", data, offset)
    if header[4] != 8 or header[1] != width or header[2] != 2 * height:
        raise ValueError("not an 8-bit bitmap of the directory's size")
    palette_at = offset + header[0]
    palette = [struct.unpack_from("<BBBB", data, palette_at + 4 * i)[:3][::-1]
               for i in range(256)]
    xor_at = palette_at + 4 * 256
    mask_stride = ((width + 31) // 32) * 4
    mask_at = xor_at + width * height
    rows = []
    for y in range(height):
        source = height - 1 - y  # bottom-up
        row = []
        for x in range(width):
            index = data[xor_at + source * width + x]
            clear = data[mask_at + source * mask_stride + x // 8] >> (7 - x % 8) & 1
            row.append((0, 0, 0, 0) if clear else palette[index] + (255,))
        rows.append(row)
    return rows


def read_png(path):
    """Rows of (r, g, b, a) of an 8-bit RGBA PNG with unfiltered rows."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    at, chunks = 8, []
    while at < len(data):
        (length,) = struct.unpack_from(">I", data, at)
        kind = data[at + 4:at + 8]
        body = data[at + 8:at + 8 + length]
        (crc,) = struct.unpack_from(">I", data, at + 8 + length)
        if zlib.crc32(kind + body) & 0xFFFFFFFF != crc:
            raise ValueError(f"bad checksum in {kind!r}")
        chunks.append((kind, body))
        at += 12 + length
    if chunks[0][0] != b"IHDR" or chunks[-1][0] != b"IEND":
        raise ValueError("chunks out of order")
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunks[0][1])
    if (depth, colour, interlace) != (8, 6, 0):
        raise ValueError("not 8-bit RGBA")
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    stride = 1 + 4 * width
    if len(raw) != stride * height:
        raise ValueError("image data of the wrong length")
    rows = []
    for y in range(height):
        line = raw[y * stride:(y + 1) * stride]
        if line[0] != 0:
            raise ValueError("filtered row")
        rows.append([tuple(line[1 + 4 * x:5 + 4 * x]) for x in range(width)])
    return rows


def opaque_share(rows):
    return sum(p[3] for row in rows for p in row) / (255 * len(rows) * len(rows[0]))


def main():
    tool = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        ico_path = os.path.join(work, "icon.ico")
        made = run_tool(tool, ico_path)
        if not check(made.returncode == 0, f"the .ico was not written: {made.stderr}"):
            return
        picture = read_ico(ico_path)
        check(len(picture) == 128, "the .ico is not 128 pixels high")

        pngs = {}
        for size in (32, 48, 128, 256):
            path = os.path.join(work, f"icon{size}.png")
            made = run_tool(tool, "--png", str(size), path)
            if check(made.returncode == 0, f"--png {size} failed: {made.stderr}"):
                pngs[size] = read_png(path)
                check(len(pngs[size]) == size and len(pngs[size][0]) == size,
                      f"--png {size} is not {size} x {size}")
        if len(pngs) != 4:
            return

        check(pngs[128] == picture, "the 128-pixel PNG differs from the .ico's picture")
        doubled = [[picture[y // 2][x // 2] for x in range(256)] for y in range(256)]
        check(pngs[256] == doubled, "the 256-pixel PNG is not the picture with every pixel doubled")

        for size in (32, 48):
            rows = pngs[size]
            for oy in range(size):
                for ox in range(size):
                    # The picture's pixels that the output pixel touches.
                    x0, x1 = ox * 128 // size, -(-(ox + 1) * 128 // size)
                    y0, y1 = oy * 128 // size, -(-(oy + 1) * 128 // size)
                    under = {picture[y][x] for y in range(y0, y1) for x in range(x0, x1)}
                    if len(under) == 1:
                        only = under.pop()
                        if not check(rows[oy][ox] == only,
                                     f"--png {size}: pixel ({ox}, {oy}) over one colour "
                                     f"{only} is {rows[oy][ox]}"):
                            break
            share, full = opaque_share(rows), opaque_share(picture)
            check(abs(share - full) < 0.005,
                  f"--png {size}: opaque share {share:.4f}, the picture's {full:.4f}")

        for bad in ("0", "1025", "x", "-5"):
            refused = run_tool(tool, "--png", bad, os.path.join(work, "bad.png"))
            check(refused.returncode != 0 and not os.path.exists(os.path.join(work, "bad.png")),
                  f"--png {bad} was not refused")


if __name__ == "__main__":
    main()
    for failure in failures:
        print("FAIL:", failure)
    print("make_icon: " + ("all checks passed" if not failures else f"{len(failures)} failed"))
    sys.exit(1 if failures else 0)
