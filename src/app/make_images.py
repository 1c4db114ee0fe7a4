#!/usr/bin/env python3
"""Draws the program icon (16, 32, 48 and 256 pixels) and the three 16 x 16 button
glyphs (24-bit, magenta transparent). Plain Python, no imaging library:

    python3 src/app/make_images.py [output folder]

The results are committed beside this script; run it again after changing a picture.
"""
import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------- icon

BLUE_TOP = (46, 125, 196)
BLUE_BOTTOM = (24, 82, 150)
PAGE = (255, 255, 255)
LINE = (150, 170, 190)
RING = (255, 196, 46)
HANDLE = (120, 72, 20)


def rounded_rect(x, y, left, top, right, bottom, radius):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    inside_core = left + radius <= x <= right - radius or top + radius <= y <= bottom - radius
    d = math.hypot(x - cx, y - cy) - radius
    if inside_core:
        d = max(left - x, x - right, top - y, y - bottom)
    return d


def segment(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - (ax + t * dx), y - (ay + t * dy))


def icon_layers(x, y):
    """Layers from bottom to top: (covered, colour) for one sample in unit coordinates."""
    layers = []
    t = y
    blue = tuple(round(a + (b - a) * t) for a, b in zip(BLUE_TOP, BLUE_BOTTOM))
    layers.append((rounded_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.20) <= 0, blue))
    layers.append((rounded_rect(x, y, 0.17, 0.13, 0.63, 0.83, 0.04) <= 0, PAGE))
    for row in range(5):
        ly = 0.26 + row * 0.11
        right = 0.52 if row % 2 else 0.55
        layers.append((abs(y - ly) <= 0.025 and 0.25 <= x <= right, LINE))
    ring = abs(math.hypot(x - 0.60, y - 0.57) - 0.17)
    layers.append((math.hypot(x - 0.60, y - 0.57) <= 0.17, (225, 240, 255)))
    layers.append((ring <= 0.055, RING))
    layers.append((segment(x, y, 0.73, 0.70, 0.87, 0.84) <= 0.07, HANDLE))
    return layers


def render_icon(size, samples=4):
    """RGBA rows, top row first."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) / size
                    y = (py + (sy + 0.5) / samples) / size
                    colour, alpha = (0, 0, 0), 0.0
                    for covered, c in icon_layers(x, y):
                        if covered:
                            colour, alpha = c, 1.0
                    acc[0] += colour[0] * alpha
                    acc[1] += colour[1] * alpha
                    acc[2] += colour[2] * alpha
                    acc[3] += alpha
            n = samples * samples
            a = acc[3] / n
            if a > 0:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a * 255)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png_bytes(rows):
    size = len(rows)
    raw = b"".join(b"\x00" + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def dib_bytes(rows):
    """A 32-bit icon image: header with doubled height, BGRA bottom-up, then the AND mask."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def write_icon(path):
    images = []
    for size in (16, 32, 48, 256):
        rows = render_icon(size, samples=4 if size <= 48 else 3)
        images.append((size, png_bytes(rows) if size == 256 else dib_bytes(rows)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size == 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(path, "wb") as f:
        f.write(out)


# ---------------------------------------------------------------- glyphs

MAGENTA = (255, 0, 255)
PALETTE = {
    ".": MAGENTA,
    "k": (64, 64, 64),
    "y": (250, 204, 72),
    "Y": (214, 160, 30),
    "b": (190, 225, 250),
    "B": (70, 120, 180),
    "h": (128, 80, 32),
    "g": (40, 160, 60),
    "G": (20, 110, 40),
    "w": (255, 255, 255),
}

BROWSE = [
    "................",
    "................",
    "..YYYYY.........",
    ".YyyyyyY........",
    ".YyyyyyYYYYYYY..",
    ".YyyyyyyyyyyyY..",
    ".YYYYYYYYYYYYYY.",
    ".YyyyyyyyyyyyyY.",
    ".YyyyyyyyyyyyyY.",
    ".YyyyyyyyyyyyyY.",
    ".YyyyyyyyyyyyyY.",
    ".YyyyyyyyyyyyyY.",
    ".YyyyyyyyyyyyyY.",
    ".YYYYYYYYYYYYYY.",
    "................",
    "................",
]

SEARCH = [
    "................",
    "....BBBBB.......",
    "...BbbbbbB......",
    "..BbwwbbbbB.....",
    ".BbwbbbbbbbB....",
    ".BbwbbbbbbbB....",
    ".BbbbbbbbbbB....",
    ".BbbbbbbbbbB....",
    ".BbbbbbbbbbB....",
    "..BbbbbbbbB.....",
    "...BbbbbbBhh....",
    "....BBBBB.hhh...",
    "...........hhh..",
    "............hhh.",
    ".............hh.",
    "................",
]

APPLY = [
    "................",
    "................",
    ".............G..",
    "............Gg..",
    "...........Ggg..",
    "..........Ggg...",
    ".G.......Ggg....",
    ".gG.....Ggg.....",
    ".ggG...Ggg......",
    "..ggG.Ggg.......",
    "...ggGgg........",
    "....gggg........",
    ".....gg.........",
    "................",
    "................",
    "................",
]


def write_glyph(path, art):
    assert len(art) == 16 and all(len(r) == 16 for r in art)
    pixels = b"".join(bytes((b, g, r)) for row in reversed(art) for (r, g, b) in (PALETTE[c] for c in row))
    header = struct.pack("<IiiHHIIiiII", 40, 16, 16, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    file_header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    with open(path, "wb") as f:
        f.write(file_header + header + pixels)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    write_icon(os.path.join(out, "Quorvane.ico"))
    write_glyph(os.path.join(out, "Browse.bmp"), BROWSE)
    write_glyph(os.path.join(out, "Search.bmp"), SEARCH)
    write_glyph(os.path.join(out, "Apply.bmp"), APPLY)


if __name__ == "__main__":
    main()
