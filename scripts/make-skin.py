#!/usr/bin/env python3
"""Draws the main window's skin and writes its outline.

    scripts/make-skin.py [FOLDER]     (default: app/skin)

Writes two files into FOLDER:

- Skin.bmp: 724 x 468 pixels, 24 bits per pixel, uncompressed, rows bottom-up.
  The inverted-L plate is teal with a bevel, lighter along its top and left
  edges and darker along its bottom and right ones. Outside the plate it is
  white: around it the window's outline cuts that away, and in its inner
  corner the list panel covers it.
- Mask2.bin: the window's outline as the main window stores it, a 32-bit
  length followed by a region description of 18 rectangles (324 bytes).

Both are drawn from the one list of rectangles below, so the bevel follows
the outline exactly. Only the standard library is used.
"""

import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 724, 468
BEVEL = 3  # pixels of light or shadow along the plate's edges

WHITE = (255, 255, 255)
TEAL = (0, 183, 183)
LIGHT = (0, 204, 204)
SHADOW = (0, 110, 110)

# The list panel's place in the inner corner of the L: left, top, right,
# bottom, exclusive.
PANEL = (143, 97, 709, 454)

# The outline in client coordinates: left, top, right, bottom, right and
# bottom exclusive, ordered by top and then by left. A band across the top,
# the body beneath it (hidden by the list panel) and a tab under the button
# column, with rounded corners.
OUTLINE = [
    (15, 5, 714, 6),
    (13, 6, 715, 7),
    (12, 7, 716, 8),
    (11, 8, 716, 10),
    (10, 10, 717, 13),
    (9, 13, 717, 91),
    (9, 91, 716, 94),
    (9, 94, 715, 95),
    (9, 95, 714, 96),
    (9, 96, 710, 97),
    (9, 97, 709, 454),
    (9, 454, 143, 456),
    (10, 456, 142, 459),
    (11, 459, 141, 461),
    (12, 461, 140, 462),
    (13, 462, 139, 463),
    (15, 463, 137, 464),
    (19, 464, 133, 465),
]


def plate():
    """The pixels of the L, inside the outline and outside the panel, as rows
    of booleans."""
    inside = [[False] * WIDTH for _ in range(HEIGHT)]
    for left, top, right, bottom in OUTLINE:
        for y in range(top, bottom):
            inside[y][left:right] = [True] * (right - left)
    left, top, right, bottom = PANEL
    for y in range(top, bottom):
        inside[y][left:right] = [False] * (right - left)
    return inside


def distance_to_edge(inside, x, y, step_x, step_y):
    """How many steps from (x, y) lead outside the plate, up to BEVEL + 1."""
    for distance in range(1, BEVEL + 1):
        nx, ny = x + step_x * distance, y + step_y * distance
        if not (0 <= nx < WIDTH and 0 <= ny < HEIGHT) or not inside[ny][nx]:
            return distance
    return BEVEL + 1


def colour(inside, x, y):
    if not inside[y][x]:
        return WHITE
    lit = min(distance_to_edge(inside, x, y, -1, 0), distance_to_edge(inside, x, y, 0, -1))
    shaded = min(distance_to_edge(inside, x, y, 1, 0), distance_to_edge(inside, x, y, 0, 1))
    if min(lit, shaded) > BEVEL:
        return TEAL
    # Where light and shadow meet at a corner, the nearer edge wins, so the
    # bevel is mitred.
    return LIGHT if lit <= shaded else SHADOW


def encode_bmp(inside):
    row_size = (WIDTH * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in reversed(range(HEIGHT)):
        row = bytearray()
        for x in range(WIDTH):
            red, green, blue = colour(inside, x, y)
            row += bytes((blue, green, red))
        row += bytes(row_size - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + pixels


def encode_mask():
    lefts, tops, rights, bottoms = zip(*OUTLINE)
    bound = (min(lefts), min(tops), max(rights), max(bottoms))
    rectangles = b"".join(struct.pack("<4i", *rectangle) for rectangle in OUTLINE)
    description = struct.pack("<4I4i", 32, 1, len(OUTLINE), len(rectangles), *bound) + rectangles
    return struct.pack("<I", len(description)) + description


def main():
    default = Path(__file__).resolve().parent.parent / "app" / "skin"
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "Skin.bmp").write_bytes(encode_bmp(plate()))
    mask = encode_mask()
    (folder / "Mask2.bin").write_bytes(mask)
    print(f"{folder}: Skin.bmp {WIDTH} x {HEIGHT}, Mask2.bin {len(mask)} bytes")


if __name__ == "__main__":
    main()
