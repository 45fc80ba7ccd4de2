#!/usr/bin/env python3
"""Draws the program icons: a rounded tile with a command-line prompt.

Writes 32-bit icons with images of 128, 96, 64, 48 and 32 pixels.
Usage: make_icon.py aliasdesk|prefdesk OUTPUT.ico
"""
import math
import struct
import sys

SIZES = (128, 96, 64, 48, 32)
SUB = 4  # samples per pixel side, for smooth edges

# Tile colours (top, bottom) and the mark drawn after the prompt.
STYLES = {
    "aliasdesk": ((0x2B, 0x6C, 0xD6), (0x12, 0x2E, 0x7A), "underscore"),
    "prefdesk": ((0x1E, 0xA8, 0x8C), (0x0B, 0x5C, 0x4E), "dot"),
}


def in_round_rect(x, y, r):
    # Unit square [0.06, 0.94] with corner radius r.
    lo, hi = 0.06, 0.94
    if not (lo <= x <= hi and lo <= y <= hi):
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def near_segment(x, y, a, b, half_width):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    px, py = ax + t * dx, ay + t * dy
    return (x - px) ** 2 + (y - py) ** 2 <= half_width ** 2


def mark_covers(kind, x, y):
    chevron = near_segment(x, y, (0.26, 0.30), (0.48, 0.50), 0.065) or \
        near_segment(x, y, (0.48, 0.50), (0.26, 0.70), 0.065)
    if chevron:
        return True
    if kind == "underscore":
        return 0.54 <= x <= 0.76 and 0.64 <= y <= 0.73
    return (x - 0.66) ** 2 + (y - 0.66) ** 2 <= 0.075 ** 2


def render(size, style):
    top, bottom, kind = style
    pixels = []  # rows top to bottom, BGRA
    for py in range(size):
        row = []
        for px in range(size):
            tile = mark = 0
            for sy in range(SUB):
                for sx in range(SUB):
                    x = (px + (sx + 0.5) / SUB) / size
                    y = (py + (sy + 0.5) / SUB) / size
                    if in_round_rect(x, y, 0.18):
                        tile += 1
                        if mark_covers(kind, x, y):
                            mark += 1
            n = SUB * SUB
            t = py / max(1, size - 1)
            base = [round(top[i] + (bottom[i] - top[i]) * t) for i in range(3)]
            m = mark / max(1, tile)
            rgb = [round(c + (255 - c) * m) for c in base]
            alpha = round(255 * tile / n)
            row.append((rgb[2], rgb[1], rgb[0], alpha))
        pixels.append(row)
    return pixels


def dib(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes(c for px in row for c in px) for row in reversed(pixels))
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)  # alpha decides; the mask stays clear
    return header + xor + and_mask


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in STYLES:
        sys.exit(__doc__)
    style = STYLES[sys.argv[1]]
    images = [dib(s, render(s, style)) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[2], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
