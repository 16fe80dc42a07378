#!/usr/bin/env python3
"""Draws the installer's icon, a smart card going into a card reader, and
writes resources/instalator.ico: 16 and 32 px as 16-colour bitmaps, 48 px as
an indexed PNG, so the icon costs little of the program's size.

    tools/make_icon.py [output.ico]

The output depends on nothing but this file, so the committed icon can be
checked by running it again and comparing."""

import os
import struct
import sys
import zlib

TRANSPARENT = 0
PALETTE = [
    (0, 0, 0),        # 0 transparent
    (30, 35, 40),     # 1 outline
    (74, 85, 96),     # 2 reader body
    (111, 124, 136),  # 3 reader top face
    (10, 12, 14),     # 4 slot
    (244, 246, 248),  # 5 card
    (47, 111, 208),   # 6 card stripe
    (224, 176, 48),   # 7 chip
    (160, 120, 24),   # 8 chip contacts
    (48, 208, 80),    # 9 LED
    (200, 208, 216),  # 10 card shade
]
PALETTE += [(0, 0, 0)] * (16 - len(PALETTE))

# The glyph on a 48-unit grid: (colour, left, top, right, bottom), painted in
# order; a pixel takes the colour of the last shape that covers its centre.
SHAPES = [
    # card, standing in the slot
    (1, 13, 1, 35, 26),
    (5, 14, 2, 34, 26),
    (10, 31, 2, 34, 26),
    (6, 14, 4, 34, 8),
    (8, 17, 11, 27, 20),
    (7, 18, 12, 26, 19),
    # reader
    (1, 3, 21, 45, 45),
    (3, 4, 22, 44, 29),
    (2, 4, 29, 44, 44),
    (4, 10, 23, 38, 26),
    (5, 14, 23, 34, 24),
    (1, 4, 29, 44, 30),
    (9, 35, 35, 40, 39),
]


def draw(size):
    scale = 48.0 / size
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    for colour, left, top, right, bottom in SHAPES:
        for y in range(size):
            cy = (y + 0.5) * scale
            if not top <= cy < bottom:
                continue
            for x in range(size):
                cx = (x + 0.5) * scale
                if left <= cx < right:
                    pixels[y][x] = colour
    return pixels


def bitmap_image(pixels):
    size = len(pixels)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(pixels):
        packed = bytearray()
        for x in range(0, size, 2):
            packed.append((row[x] << 4) | row[x + 1])
        packed += b'\0' * (-len(packed) % 4)
        xor_rows.append(bytes(packed))
        mask = bytearray((size + 7) // 8)
        for x, colour in enumerate(row):
            if colour == TRANSPARENT:
                mask[x // 8] |= 0x80 >> (x % 8)
        mask += b'\0' * (-len(mask) % 4)
        and_rows.append(bytes(mask))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def png_chunk(kind, data):
    return (struct.pack('>I', len(data)) + kind + data +
            struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))


def png_image(pixels):
    size = len(pixels)
    used = max(max(row) for row in pixels) + 1
    raw = b''.join(b'\0' + bytes(row) for row in pixels)
    return (b'\x89PNG\r\n\x1a\n' +
            png_chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 3, 0, 0, 0)) +
            png_chunk(b'PLTE', b''.join(bytes(c) for c in PALETTE[:used])) +
            png_chunk(b'tRNS', b'\0') +
            png_chunk(b'IDAT', zlib.compress(raw, 9)) +
            png_chunk(b'IEND', b''))


def icon_file():
    images = [(16, bitmap_image(draw(16)), 16), (32, bitmap_image(draw(32)), 16),
              (48, png_image(draw(48)), 0)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data, colours in images:
        out += struct.pack('<BBBBHHII', size, size, colours, 0, 1, 4 if colours else 8,
                           len(data), offset)
        offset += len(data)
    return out + b''.join(data for _, data, _ in images)


def main():
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'resources',
                           'instalator.ico')
    target = sys.argv[1] if len(sys.argv) > 1 else default
    with open(target, 'wb') as f:
        f.write(icon_file())


if __name__ == '__main__':
    main()
