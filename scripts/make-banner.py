#!/usr/bin/env python3
"""Draws the product banner that every page paints in its lower right corner.

Writes resources/common/banner.bmp: 150 x 16 pixels, 4 bits per pixel,
uncompressed, with a 16-entry colour table. Palette entry 1 is exact magenta,
the key colour the pages leave out when they paint the banner; every pixel
outside the logo and the lettering uses it.

    scripts/make-banner.py [--preview FILE.png]

--preview also writes an 8x enlarged PNG on a grey page colour, to look at.
Only the Python standard library is used.
"""

import argparse
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 150, 16

PALETTE = [
    (0x00, 0x00, 0x00),  # 0 unused black
    (0xFF, 0x00, 0xFF),  # 1 key: left out when painted
    (0x1C, 0x3A, 0x8C),  # 2 "Quillon" navy
    (0x9E, 0x1B, 0x1B),  # 3 "Dress" dark red
    (0xA8, 0xA8, 0xA8),  # 4 letter shadow
    (0x6E, 0x4C, 0x0E),  # 5 folder outline
    (0xE8, 0xB4, 0x2C),  # 6 folder body
    (0xFF, 0xDC, 0x70),  # 7 folder front, light
    (0xD2, 0x2A, 0x2A),  # 8 ribbon
    (0xFF, 0xFF, 0xFF),  # 9 highlight
    (0xC4, 0x8E, 0x1A),  # 10 folder shade
    (0x82, 0x12, 0x12),  # 11 ribbon knot, dark
    (0x40, 0x40, 0x40),  # 12 unused
    (0x80, 0x80, 0x80),  # 13 unused
    (0xC0, 0xC0, 0xC0),  # 14 unused
    (0xE0, 0xE0, 0xE0),  # 15 unused
]
KEY = 1
QUILLON, DRESS, SHADOW = 2, 3, 4

# The logo: a folder dressed with a ribbon bow. '.' is the key colour.
LOGO_COLOURS = {'.': KEY, 'O': 5, 'Y': 6, 'L': 7, 'S': 10, 'R': 8, 'K': 11, 'W': 9}
LOGO = [
    "................",
    ".OOOOO..........",
    "OYYYYYO.........",
    "OYYYYYYOOOOOOOO.",
    "OYYYYYYYYYYYYYYO",
    "OYYYYYYYYYYYYYYO",
    "OOOOOOOOOOOOOOOO",
    "OLLLLLRRLKLRRLLO",
    "OLLLLLRWRKRWRLLO",
    "OLLLLLLRRKRRLLLO",
    "OLLLLLLLKLKLLLLO",
    "OLLLLLLKLLLKLLLO",
    "OLLLLLLLLLLLLLLO",
    "OSSSSSSSSSSSSSSO",
    ".OOOOOOOOOOOOOO.",
    "................",
]

# Letters, '#' is ink. Capitals and ascenders are 9 rows high; lower case
# letters occupy the last 6 of them. Rows below the 9th hang under the
# baseline.
GLYPHS = {
    'Q': [
        "..####..",
        ".##..##.",
        "##....##",
        "##....##",
        "##....##",
        "##....##",
        "##..#.##",
        ".##..##.",
        "..###.##",
    ],
    'u': ["##..##", "##..##", "##..##", "##..##", "##.###", ".##.##"],
    'i': ["##", "##", "..", "##", "##", "##", "##", "##", "##"],
    'l': ["##"] * 9,
    'o': [".####.", "##..##", "##..##", "##..##", "##..##", ".####."],
    'n': ["#####.", "##..##", "##..##", "##..##", "##..##", "##..##"],
    'D': [
        "#####..",
        "##..##.",
        "##...##",
        "##...##",
        "##...##",
        "##...##",
        "##...##",
        "##..##.",
        "#####..",
    ],
    'r': ["##.##", "####.", "##...", "##...", "##...", "##..."],
    'e': [".####.", "##..##", "######", "##....", "##..##", ".####."],
    's': [".#####", "##....", ".####.", "....##", "....##", "#####."],
}
CAP_HEIGHT = 9
SPACE = 4
TRACKING = 1


def blank():
    return [[KEY] * WIDTH for _ in range(HEIGHT)]


def text_width(text):
    width = 0
    for i, ch in enumerate(text):
        width += SPACE if ch == ' ' else len(GLYPHS[ch][0])
        if i < len(text) - 1:
            width += TRACKING
    return width


def draw_text(pixels, text, x, baseline, colour):
    """Draws text with a one-pixel shadow down and to the right; returns the
    x after the last letter."""
    layers = ((1, 1, SHADOW), (0, 0, colour))
    for dx, dy, ink in layers:
        cx = x
        for ch in text:
            if ch == ' ':
                cx += SPACE + TRACKING
                continue
            rows = GLYPHS[ch]
            top = baseline - (CAP_HEIGHT if len(rows) >= CAP_HEIGHT else len(rows)) + 1
            for ry, row in enumerate(rows):
                for rx, cell in enumerate(row):
                    if cell == '#':
                        px, py = cx + rx + dx, top + ry + dy
                        if 0 <= px < WIDTH and 0 <= py < HEIGHT:
                            # The shadow never covers ink already drawn.
                            if ink != SHADOW or pixels[py][px] == KEY:
                                pixels[py][px] = ink
            cx += len(rows[0]) + TRACKING
    return cx


def draw_banner():
    pixels = blank()
    gap = 5
    first, second = "Quillon", "Dress"
    content = len(LOGO[0]) + gap + text_width(first) + SPACE + TRACKING + text_width(second) + 1
    # Flush right: the page paints the banner 10 pixels in from its corner.
    x = WIDTH - content
    for ry, row in enumerate(LOGO):
        for rx, cell in enumerate(row):
            pixels[ry][x + rx] = LOGO_COLOURS[cell]
    baseline = 11
    x += len(LOGO[0]) + gap
    x = draw_text(pixels, first, x, baseline, QUILLON)
    x += SPACE
    draw_text(pixels, second, x, baseline, DRESS)
    return pixels


def bmp_bytes(pixels):
    stride = ((WIDTH * 4 + 31) // 32) * 4
    rows = []
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytearray()
        line = pixels[y]
        for x in range(0, WIDTH, 2):
            high = line[x]
            low = line[x + 1] if x + 1 < WIDTH else 0
            row.append((high << 4) | low)
        row.extend(b"\0" * (stride - len(row)))
        rows.append(bytes(row))
    image = b"".join(rows)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(image), 2835, 2835, 16, 16)
    return header + info + colours + image


def png_bytes(pixels, scale, background):
    raw = bytearray()
    for y in range(HEIGHT * scale):
        raw.append(0)
        for x in range(WIDTH * scale):
            index = pixels[y // scale][x // scale]
            raw.extend(background if index == KEY else PALETTE[index])

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", WIDTH * scale, HEIGHT * scale, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b"")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", default=os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                         "..", "resources", "common", "banner.bmp"))
    parser.add_argument("--preview", help="also write an enlarged PNG here")
    args = parser.parse_args()

    assert PALETTE.count((0xFF, 0x00, 0xFF)) == 1 and len(PALETTE) == 16
    pixels = draw_banner()
    with open(args.output, "wb") as out:
        out.write(bmp_bytes(pixels))
    if args.preview:
        with open(args.preview, "wb") as out:
            out.write(png_bytes(pixels, 8, (0xF0, 0xF0, 0xF0)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
