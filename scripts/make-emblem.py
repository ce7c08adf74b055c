#!/usr/bin/env python3
"""Draws Omrek's emblem and writes it as a baseline JPEG, or as the
program's icons.

    scripts/make-emblem.py [OUTPUT]     (default: app/about/emblem.jpg)
    scripts/make-emblem.py --icons [FOLDER]   (default: packaging/icons)

The icons are the badge alone, square and transparent around it, as PNG
files omrek-SIZE.png for the sizes of ICON_SIZES.

The emblem is a page going through a shredder: the top half of the sheet is
whole, a gold blade crosses it, and below the blade the sheet comes out as
strips, on a maroon badge with a gold rim. It is 144 x 143 pixels, the size
the About page leaves for it.

Only the standard library is used, and the encoder is written out here, so
the same script gives the same bytes on every machine: baseline JPEG, YCbCr
without subsampling, the example tables of the JPEG standard (Annex K).
"""

import math
import struct
import sys
import zlib
from pathlib import Path

WIDTH, HEIGHT = 144, 143
SUPERSAMPLE = 4  # samples per pixel along each axis, for smooth edges
QUALITY = 90

WHITE = (255, 255, 255)
MAROON = (128, 0, 0)
DEEP_MAROON = (72, 0, 0)
GOLD = (216, 190, 10)
PAPER = (250, 248, 240)
INK = (150, 150, 160)
STEEL = (90, 90, 100)

CENTRE_X, CENTRE_Y = WIDTH / 2, HEIGHT / 2
RADIUS = 69.0
RIM = 5.0
SHEET_LEFT, SHEET_RIGHT = 47.0, 97.0
SHEET_TOP = 20.0
BLADE_TOP, BLADE_BOTTOM = 72.0, 80.0
STRIP_COUNT = 7
STRIP_GAP = 1.6


def badge(x, y):
    """The round badge: a maroon face darkening to its edge, a gold rim."""
    distance = math.hypot(x - CENTRE_X, y - CENTRE_Y)
    if distance > RADIUS:
        return None
    if distance > RADIUS - RIM:
        return GOLD
    shade = distance / (RADIUS - RIM)
    return tuple(round(m + (d - m) * shade * shade) for m, d in zip(MAROON, DEEP_MAROON))


def sheet(x, y):
    """The whole part of the page above the blade, with a folded corner and
    lines of text."""
    if not (SHEET_LEFT <= x <= SHEET_RIGHT and SHEET_TOP <= y <= BLADE_TOP):
        return None
    fold = 10.0
    corner_x, corner_y = x - (SHEET_RIGHT - fold), y - SHEET_TOP
    if corner_x > corner_y:
        return None  # cut off by the fold
    if corner_x > 0 and corner_y < fold:
        return (205, 200, 190)  # the folded-down flap
    return paper_with_text(x, y)


def strips(x, y):
    """The shredded part below the blade: strips that fan out and hang lower
    the further they are from the middle."""
    if y <= BLADE_BOTTOM or not (SHEET_LEFT - 14 <= x <= SHEET_RIGHT + 14):
        return None
    width = (SHEET_RIGHT - SHEET_LEFT) / STRIP_COUNT
    depth = y - BLADE_BOTTOM
    for index in range(STRIP_COUNT):
        offset = index - (STRIP_COUNT - 1) / 2
        spread = offset * 0.22 * depth  # each strip leans away from the middle
        left = SHEET_LEFT + index * width + spread + STRIP_GAP / 2
        right = left + width - STRIP_GAP
        length = 36.0 - abs(offset) * 3.5 + (index % 2) * 4.0
        if left <= x <= right and depth <= length:
            return paper_with_text(x - spread, y)
    return None


def paper_with_text(x, y):
    line = (y - SHEET_TOP - 8.0) % 6.0
    if SHEET_LEFT + 5 <= x <= SHEET_RIGHT - 6 and y > SHEET_TOP + 6 and line < 1.5:
        return INK
    return PAPER


def blade(x, y):
    """The shredder's slot: a gold bar with a dark steel edge."""
    if BLADE_TOP <= y <= BLADE_BOTTOM and SHEET_LEFT - 16 <= x <= SHEET_RIGHT + 16:
        return STEEL if y > BLADE_BOTTOM - 2 else GOLD
    return None


LAYERS = (blade, strips, sheet, badge)  # topmost first


def colour_at(x, y):
    for layer in LAYERS:
        colour = layer(x, y)
        if colour is not None:
            return colour
    return WHITE


def draw():
    pixels = []
    step = 1.0 / SUPERSAMPLE
    count = SUPERSAMPLE * SUPERSAMPLE
    for row in range(HEIGHT):
        line = []
        for column in range(WIDTH):
            total = [0, 0, 0]
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    colour = colour_at(column + (sx + 0.5) * step, row + (sy + 0.5) * step)
                    for channel in range(3):
                        total[channel] += colour[channel]
            line.append(tuple(round(value / count) for value in total))
        pixels.append(line)
    return pixels


# --- Baseline JPEG encoder ---------------------------------------------------

ZIGZAG = [
    0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6, 7, 14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
]  # fmt: skip

LUMINANCE_QUANT = [
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
    14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
    18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
]  # fmt: skip

CHROMINANCE_QUANT = [
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
] + [99] * 32  # fmt: skip

# (code lengths 1..16, symbols) of the four example Huffman tables.
DC_LUMINANCE = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
DC_CHROMINANCE = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
AC_LUMINANCE = (
    [0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D],
    bytes.fromhex(
        "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282"
        "090a161718191a25262728292a3435363738393a434445464748494a535455565758595a63"
        "6465666768696a737475767778797a838485868788898a92939495969798999aa2a3a4a5a6"
        "a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6"
        "e7e8e9eaf1f2f3f4f5f6f7f8f9fa"
    ),
)
AC_CHROMINANCE = (
    [0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77],
    bytes.fromhex(
        "000102031104052131061241510761711322328108144291a1b1c109233352f0156272d10a"
        "162434e125f11718191a262728292a35363738393a434445464748494a535455565758595a"
        "636465666768696a737475767778797a82838485868788898a92939495969798999aa2a3a4"
        "a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5"
        "e6e7e8e9eaf2f3f4f5f6f7f8f9fa"
    ),
)


def scaled_quant(table):
    """The example table scaled to QUALITY the way the IJG library does it."""
    scale = 5000 / QUALITY if QUALITY < 50 else 200 - 2 * QUALITY
    return [min(255, max(1, (value * scale + 50) // 100)) for value in table]


def huffman_codes(table):
    """Symbol -> (code, length), generated from the code-length counts."""
    counts, symbols = table
    codes, code, position = {}, 0, 0
    for length in range(1, 17):
        for _ in range(counts[length - 1]):
            codes[symbols[position]] = (code, length)
            code += 1
            position += 1
        code <<= 1
    return codes


class BitWriter:
    def __init__(self):
        self.data = bytearray()
        self.buffer = 0
        self.count = 0

    def write(self, value, length):
        for bit in range(length - 1, -1, -1):
            self.buffer = (self.buffer << 1) | ((value >> bit) & 1)
            self.count += 1
            if self.count == 8:
                self.data.append(self.buffer)
                if self.buffer == 0xFF:
                    self.data.append(0x00)  # a data byte 0xFF is stuffed
                self.buffer = 0
                self.count = 0

    def finish(self):
        if self.count:
            self.write((1 << (8 - self.count)) - 1, 8 - self.count)  # pad with ones
        return bytes(self.data)


COSINES = [[math.cos((2 * x + 1) * u * math.pi / 16) for x in range(8)] for u in range(8)]


def forward_dct(block):
    """The 8 x 8 DCT-II as the JPEG standard defines it, on level-shifted samples."""
    rows = [[sum(block[y * 8 + x] * COSINES[u][x] for x in range(8)) for u in range(8)] for y in range(8)]
    result = [0.0] * 64
    for v in range(8):
        for u in range(8):
            total = sum(rows[y][u] * COSINES[v][y] for y in range(8))
            cu = math.sqrt(0.5) if u == 0 else 1.0
            cv = math.sqrt(0.5) if v == 0 else 1.0
            result[v * 8 + u] = 0.25 * cu * cv * total
    return result


def magnitude(value):
    """The size category of a coefficient and the bits that follow its code."""
    size = abs(value).bit_length()
    bits = value if value >= 0 else value + (1 << size) - 1
    return size, bits


def encode_block(writer, block, quant, dc_codes, ac_codes, previous_dc):
    coefficients = forward_dct(block)
    quantised = [round(coefficients[ZIGZAG[i]] / quant[i]) for i in range(64)]
    size, bits = magnitude(quantised[0] - previous_dc)
    writer.write(*dc_codes[size])
    writer.write(bits, size)
    run = 0
    for value in quantised[1:]:
        if value == 0:
            run += 1
            continue
        while run > 15:
            writer.write(*ac_codes[0xF0])  # sixteen zeros
            run -= 16
        size, bits = magnitude(value)
        writer.write(*ac_codes[(run << 4) | size])
        writer.write(bits, size)
        run = 0
    if run:
        writer.write(*ac_codes[0x00])  # end of block
    return quantised[0]


def to_ycbcr(pixel):
    r, g, b = pixel
    y = 0.299 * r + 0.587 * g + 0.114 * b
    cb = -0.168736 * r - 0.331264 * g + 0.5 * b + 128
    cr = 0.5 * r - 0.418688 * g - 0.081312 * b + 128
    return y, cb, cr


def marker(code, payload):
    return struct.pack(">BBH", 0xFF, code, len(payload) + 2) + payload


def huffman_segment(table_class, table_id, table):
    counts, symbols = table
    return bytes([(table_class << 4) | table_id]) + bytes(counts) + bytes(symbols)


def encode_jpeg(pixels):
    height, width = len(pixels), len(pixels[0])
    quants = [scaled_quant(LUMINANCE_QUANT), scaled_quant(CHROMINANCE_QUANT)]
    tables = [(huffman_codes(DC_LUMINANCE), huffman_codes(AC_LUMINANCE)),
              (huffman_codes(DC_CHROMINANCE), huffman_codes(AC_CHROMINANCE))]
    planes = [[[to_ycbcr(pixel)[channel] for pixel in row] for row in pixels] for channel in range(3)]

    writer = BitWriter()
    previous_dc = [0, 0, 0]
    for block_top in range(0, height, 8):
        for block_left in range(0, width, 8):
            for channel in range(3):
                block = []
                for y in range(8):
                    row = planes[channel][min(block_top + y, height - 1)]  # the edge repeats
                    block.extend(row[min(block_left + x, width - 1)] - 128 for x in range(8))
                kind = 0 if channel == 0 else 1
                previous_dc[channel] = encode_block(writer, block, quants[kind], *tables[kind],
                                                    previous_dc[channel])
    scan = writer.finish()

    out = bytearray(b"\xff\xd8")
    out += marker(0xE0, b"JFIF\x00\x01\x01\x00\x00\x48\x00\x48\x00\x00")  # 72 dpi, no thumbnail
    for table_id, quant in enumerate(quants):
        out += marker(0xDB, bytes([table_id]) + bytes(quant))
    components = b"".join(bytes([index + 1, 0x11, 0 if index == 0 else 1]) for index in range(3))
    out += marker(0xC0, struct.pack(">BHHB", 8, height, width, 3) + components)
    out += marker(0xC4, huffman_segment(0, 0, DC_LUMINANCE) + huffman_segment(1, 0, AC_LUMINANCE) +
                  huffman_segment(0, 1, DC_CHROMINANCE) + huffman_segment(1, 1, AC_CHROMINANCE))
    selectors = b"".join(bytes([index + 1, 0x00 if index == 0 else 0x11]) for index in range(3))
    out += marker(0xDA, bytes([3]) + selectors + bytes([0, 63, 0]))
    out += scan
    out += b"\xff\xd9"
    return bytes(out)


ICON_SIZES = (48, 64, 128, 256)


def draw_icon(size):
    """The badge filling a size x size square; what lies outside it is
    transparent, its edge partly so."""
    scale = 2 * RADIUS / size
    left, top = CENTRE_X - RADIUS, CENTRE_Y - RADIUS
    step = 1.0 / SUPERSAMPLE
    rows = []
    for row in range(size):
        line = bytearray()
        for column in range(size):
            total, covered = [0, 0, 0], 0
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    x = left + (column + (sx + 0.5) * step) * scale
                    y = top + (row + (sy + 0.5) * step) * scale
                    if badge(x, y) is None:
                        continue
                    covered += 1
                    for channel, value in enumerate(colour_at(x, y)):
                        total[channel] += value
            if covered == 0:
                line += bytes(4)
            else:
                line += bytes(round(value / covered) for value in total)
                line.append(round(255 * covered / (SUPERSAMPLE * SUPERSAMPLE)))
        rows.append(bytes(line))
    return rows


def encode_png(rows, size):
    """RGBA rows as a PNG file, each row unfiltered."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\x00" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
            chunk(b"IEND", b""))


def write_icons(folder):
    folder.mkdir(parents=True, exist_ok=True)
    for size in ICON_SIZES:
        output = folder / f"omrek-{size}.png"
        output.write_bytes(encode_png(draw_icon(size), size))
        print(f"{output}: {size} x {size}")


def main():
    root = Path(__file__).resolve().parent.parent
    if len(sys.argv) > 1 and sys.argv[1] == "--icons":
        write_icons(Path(sys.argv[2]) if len(sys.argv) > 2 else root / "packaging" / "icons")
        return
    default = root / "app" / "about" / "emblem.jpg"
    output = Path(sys.argv[1]) if len(sys.argv) > 1 else default
    output.write_bytes(encode_jpeg(draw()))
    print(f"{output}: {WIDTH} x {HEIGHT}")


if __name__ == "__main__":
    main()
