#!/usr/bin/env python3
"""Draws the application icon and writes it in the forms the dialog and the
desktop need:

  gui/resources/sipcrypt.ico      32x32 and 16x16, each in 16 and 256 colours
  gui/resources/sipcrypt-N.png    N = 16, 32, 48, 64, 128, 256, full colour

The picture, a white padlock on a blue rounded square, is drawn from shapes
at each size (4x4 supersampled), so every size is sharp. Standard library
only; the output is the same on every run.

Usage: generate_icon.py [OUTPUT_DIR]   (default: gui/resources beside this script)
"""

import os
import struct
import sys
import zlib

BLUE = (30, 90, 168)
DARK_BLUE = (18, 52, 104)
WHITE = (255, 255, 255)
PNG_SIZES = (16, 32, 48, 64, 128, 256)

# The 16 colours of the standard VGA palette, the usual one for 4-bit icons.
VGA16 = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


# The VGA colours the 4-bit images may use: the teal and greens of the full
# palette are nearer to the icon's blue than the navy is, but look wrong.
VGA16_ALLOWED = (0, 4, 7, 8, 12, 15)


def palette_256():
    """A 6x6x6 colour cube, a ramp of 40 greys, and the icon's own blues."""
    levels = [0, 51, 102, 153, 204, 255]
    colours = [(r, g, b) for r in levels for g in levels for b in levels]
    colours += [(round(i * 255 / 39),) * 3 for i in range(38)]
    colours += [BLUE, DARK_BLUE]
    return colours


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def shade(x, y):
    """The colour at (x, y) in the unit square, or None outside the icon."""
    if not inside_rounded_rect(x, y, 0.0, 0.0, 1.0, 1.0, 0.18):
        return None
    # Padlock body.
    if inside_rounded_rect(x, y, 0.24, 0.44, 0.76, 0.86, 0.06):
        keyhole = ((x - 0.5) ** 2 + (y - 0.59) ** 2 <= 0.055 ** 2) or (
            abs(x - 0.5) <= 0.025 and 0.59 <= y <= 0.74)
        return DARK_BLUE if keyhole else WHITE
    # Shackle: a half ring above the body, with straight legs down to it.
    dx, dy = x - 0.5, y - 0.40
    ring = 0.16 ** 2 <= dx * dx + dy * dy <= 0.235 ** 2
    if (ring and y <= 0.40) or (0.40 <= y <= 0.45 and 0.16 <= abs(dx) <= 0.235):
        return WHITE
    return BLUE


def render(size):
    """RGBA rows, 4x4 supersampled."""
    samples = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    colour = shade((px + (sx + 0.5) / samples) / size,
                                   (py + (sy + 0.5) / samples) / size)
                    if colour is not None:
                        r += colour[0]
                        g += colour[1]
                        b += colour[2]
                        a += 1
            n = samples * samples
            row.append((r // a, g // a, b // a, 255 * a // n) if a else (0, 0, 0, 0))
        rows.append(row)
    return rows


def nearest(colour, palette, allowed=None):
    return min(allowed if allowed is not None else range(len(palette)),
               key=lambda i: sum((c - p) ** 2 for c, p in zip(colour, palette[i])))


def png(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for pixel in row for v in pixel) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico_image(rows, bits, palette, allowed=None):
    """One BMP-format icon image: header, palette, colour bits, AND mask."""
    size = len(rows)
    colour_rows = []
    mask_rows = []
    for row in reversed(rows):  # bitmaps are stored bottom-up
        indices = [nearest(p[:3], palette, allowed) if p[3] >= 128 else 0 for p in row]
        if bits == 4:
            data = bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        else:
            data = bytes(indices)
        colour_rows.append(data + b"\0" * (-len(data) % 4))
        mask = bytearray((size + 7) // 8)
        for i, p in enumerate(row):
            if p[3] < 128:
                mask[i // 8] |= 0x80 >> (i % 8)
        mask_rows.append(bytes(mask) + b"\0" * (-len(mask) % 4))
    pixels = b"".join(colour_rows) + b"".join(mask_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, len(pixels), 0, 0, 0, 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    table += b"\0" * (4 * (1 << bits) - len(table))
    return header + table + pixels


def ico(images):
    """images: (size, bits, data) in directory order."""
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bits, data in images:
        colours = 16 if bits == 4 else 0
        directory += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
        body += data
    return directory + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "gui", "resources")
    rendered = {size: render(size) for size in PNG_SIZES}
    for size in PNG_SIZES:
        with open(os.path.join(out, "sipcrypt-{}.png".format(size)), "wb") as f:
            f.write(png(rendered[size]))
    colours_256 = palette_256()
    images = [
        (32, 8, ico_image(rendered[32], 8, colours_256)),
        (16, 8, ico_image(rendered[16], 8, colours_256)),
        (32, 4, ico_image(rendered[32], 4, VGA16, VGA16_ALLOWED)),
        (16, 4, ico_image(rendered[16], 4, VGA16, VGA16_ALLOWED)),
    ]
    with open(os.path.join(out, "sipcrypt.ico"), "wb") as f:
        f.write(ico(images))
    return 0


if __name__ == "__main__":
    sys.exit(main())
