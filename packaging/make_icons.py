#!/usr/bin/env python3
"""Draws the programs' icon files from the 16 x 16 picture in console/window_style.h.

The Windows console window shows that picture as its icon (white notes on black); the .exe
resource and the Linux launchers show the same picture, so it is drawn from the one source.

    python3 packaging/make_icons.py [OUTPUT_FOLDER]      (default: packaging/icons)
"""
import pathlib
import re
import struct
import sys
import zlib

ROOT = pathlib.Path(__file__).resolve().parent.parent
HEADER = ROOT / "console" / "window_style.h"
PNG_SIZES = (16, 32, 48)
ICO_SIZES = (16, 32, 48)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)


def read_picture():
    text = HEADER.read_text(encoding="utf-8")
    block = re.search(r"kIconPicture\s*=\s*\{(.*?)\};", text, re.S)
    if not block:
        sys.exit(f"{HEADER}: kIconPicture not found")
    rows = re.findall(r'"([.#]*)"', block.group(1))
    if len(rows) != 16 or any(len(row) != 16 for row in rows):
        sys.exit(f"{HEADER}: kIconPicture is not 16 rows of 16 pixels")
    return rows


def scaled(rows, size):
    """Nearest-neighbour enlargement, so the pixel art stays sharp."""
    factor = size // len(rows)
    return [[WHITE if rows[y // factor][x // factor] == "#" else BLACK for x in range(size)]
            for y in range(size)]


def png(pixels):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    size = len(pixels)
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in pixels)
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)  # 8-bit RGB, no interlace
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def ico_image(pixels):
    # A 32-bit DIB whose height counts the colour rows and the mask rows; rows run bottom-up.
    size = len(pixels)
    colour = b"".join(bytes((b, g, r, 255)) for row in reversed(pixels) for (r, g, b) in row)
    mask_row_bytes = (size + 31) // 32 * 4
    mask = bytes(mask_row_bytes * size)  # all opaque
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def ico(rows):
    images = [ico_image(scaled(rows, size)) for size in ICO_SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(ICO_SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def svg(rows):
    rects = []
    for y, row in enumerate(rows):
        for run in re.finditer(r"#+", row):
            rects.append(f'  <rect x="{run.start()}" y="{y}" width="{len(run.group())}" height="1"/>')
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16" '
            'shape-rendering="crispEdges">\n'
            '  <rect width="16" height="16" fill="#000"/>\n'
            '  <g fill="#fff">\n' + "\n".join("  " + r for r in rects) + "\n  </g>\n</svg>\n")


def main():
    out = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / "packaging" / "icons"
    out.mkdir(parents=True, exist_ok=True)
    rows = read_picture()
    (out / "music-note.ico").write_bytes(ico(rows))
    (out / "music-note.svg").write_text(svg(rows), encoding="utf-8")
    for size in PNG_SIZES:
        (out / f"music-note-{size}.png").write_bytes(png(scaled(rows, size)))


if __name__ == "__main__":
    main()
