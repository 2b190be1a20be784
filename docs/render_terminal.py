#!/usr/bin/env python3
"""Renders a program's terminal output, captured with `script`, as an SVG terminal window.

    python3 docs/render_terminal.py CAPTURE OUTPUT.svg

Understands what the programs send to a terminal: the window title (OSC 0), SGR colours
(16-colour and 24-bit), and CR LF line ends; cursor and erase sequences draw nothing.
"""
import html
import re
import sys

COLUMNS = 72
CELL_W, CELL_H, FONT = 8.4, 18, 14
PAD, TITLE_H = 12, 28
DEFAULT_FG, DEFAULT_BG = (204, 204, 204), (12, 12, 12)
# The xterm palette for SGR 30-37 and 90-97.
PALETTE = [(0, 0, 0), (205, 0, 0), (0, 205, 0), (205, 205, 0), (0, 0, 238), (205, 0, 205),
           (0, 205, 205), (229, 229, 229), (127, 127, 127), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (92, 92, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
TOKEN = re.compile(rb"\x1b\][^\x07]*\x07|\x1b\[[0-9;?]*[A-Za-z]|\r\n|\r|\n|[^\x1b\r\n]+")


def parse(data):
    """Returns (title, lines, screen background); a line is a list of (text, fg, bg)."""
    title, fg, bg, screen_bg = "", DEFAULT_FG, DEFAULT_BG, None
    lines, line = [], []
    for token in TOKEN.findall(data):
        if token.startswith(b"\x1b]"):
            title = token[2:-1].decode("utf-8", "replace").split(";", 1)[-1]
        elif token.startswith(b"\x1b[") and token.endswith(b"m"):
            codes = [int(c) if c else 0 for c in token[2:-1].decode().split(";")]
            i = 0
            while i < len(codes):
                code = codes[i]
                if code == 0:
                    fg, bg = DEFAULT_FG, DEFAULT_BG
                elif code in (38, 48) and codes[i + 1:i + 2] == [2]:
                    colour = tuple(codes[i + 2:i + 5])
                    if code == 38:
                        fg = colour
                    else:
                        bg = colour
                        # The programs paint their own background: the first one is the screen's.
                        screen_bg = screen_bg or colour
                    i += 4
                elif 30 <= code <= 37 or 90 <= code <= 97:
                    fg = PALETTE[code - 30 if code < 90 else code - 82]
                elif code == 39:
                    fg = DEFAULT_FG
                elif code == 49:
                    bg = DEFAULT_BG
                i += 1
        elif token.startswith(b"\x1b"):
            pass
        elif token in (b"\r\n", b"\n"):
            lines.append(line)
            line = []
        elif token == b"\r":
            pass
        else:
            line.append((token.decode("utf-8", "replace"), fg, bg))
    if line:
        lines.append(line)
    while lines and not "".join(t for t, _, _ in lines[-1]).strip():
        lines.pop()
    return title, lines, screen_bg or DEFAULT_BG


def rgb(colour):
    return "#%02x%02x%02x" % colour


def svg(title, lines, screen_bg):
    width = PAD * 2 + COLUMNS * CELL_W
    height = TITLE_H + PAD * 2 + max(len(lines), 1) * CELL_H
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width:.0f}" height="{height:.0f}" '
           f'viewBox="0 0 {width:.0f} {height:.0f}">',
           f'<rect width="100%" height="100%" rx="8" fill="#2b2b2b"/>',
           f'<circle cx="18" cy="14" r="6" fill="#ff5f57"/><circle cx="38" cy="14" r="6" '
           f'fill="#febc2e"/><circle cx="58" cy="14" r="6" fill="#28c840"/>',
           f'<text x="{width / 2:.0f}" y="19" fill="#dddddd" font-family="sans-serif" '
           f'font-size="13" text-anchor="middle">{html.escape(title)}</text>',
           f'<rect y="{TITLE_H}" width="{width:.0f}" height="{height - TITLE_H:.0f}" '
           f'fill="{rgb(screen_bg)}"/>',
           f'<g font-family="DejaVu Sans Mono, Consolas, Menlo, monospace" font-size="{FONT}" '
           f'xml:space="preserve">']
    for row, line in enumerate(lines):
        y = TITLE_H + PAD + row * CELL_H
        column = 0
        for text, fg, bg in line:
            x = PAD + column * CELL_W
            if bg != screen_bg:
                out.append(f'<rect x="{x:.1f}" y="{y}" width="{len(text) * CELL_W:.1f}" '
                           f'height="{CELL_H}" fill="{rgb(bg)}"/>')
            out.append(f'<text x="{x:.1f}" y="{y + CELL_H - 5}" fill="{rgb(fg)}" '
                       f'textLength="{len(text) * CELL_W:.1f}">{html.escape(text)}</text>')
            column += len(text)
    out.append("</g>\n</svg>\n")
    return "\n".join(out)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as capture:
        title, lines, screen_bg = parse(capture.read())
    with open(sys.argv[2], "w", encoding="utf-8") as output:
        output.write(svg(title, lines, screen_bg))


if __name__ == "__main__":
    main()
