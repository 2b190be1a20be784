#!/usr/bin/env python3
"""Draws the programs' icon files from the 16 x 16 picture in console/windows_console_look.h.

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
HEADER = ROOT / "console" / "windows_console_look.h"
PNG_SIZES = (16, 32, 48)
ICO_SIZES = (16, 32, 48, 256)  # 256 for Explorer's large and extra large views
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


def png(pixels, alpha=False):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    size = len(pixels)
    opaque = (255,) if alpha else ()
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel + opaque) for row in pixels)
    # 8-bit RGB (RGBA with alpha), no interlace
    header = struct.pack(">IIBBBBB", size, size, 8, 6 if alpha else 2, 0, 0, 0)
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
    # The 256 px image is stored as PNG, in the 32-bit RGBA form Windows reads there since Vista:
    # as a DIB it would take 256 KiB for a 16 px picture enlarged.
    images = [png(scaled(rows, size), alpha=True) if size >= 256 else ico_image(scaled(rows, size))
              for size in ICO_SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(ICO_SIZES, images):
        side = size % 256  # the directory writes 256 as 0
        out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(image), offset)
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
