#!/usr/bin/env python3
"""Draws the program's icon, a small camera, as pravenit.ico: two 256-colour
(8 bits per pixel) images, 16x16 and 32x32. Run it again after changing the drawing:
    python3 resources/make_icon.py resources/pravenit.ico
"""
import struct
import sys

# Palette index -> (red, green, blue); the other entries of the 256 are black.
PALETTE = {
    0: (0, 0, 0),
    1: (64, 72, 84),      # body
    2: (150, 160, 172),   # body edge and viewfinder
    3: (28, 60, 120),     # lens glass
    4: (220, 230, 240),   # lens highlight
    5: (210, 40, 40),     # record light
    6: (20, 22, 26),      # lens rim
}
TRANSPARENT = None


def pixel(x, y):
    """Colour of the point (x, y) of the unit square, y downwards."""
    lx, ly = x - 0.5, y - 0.58
    d2 = lx * lx + ly * ly
    if d2 <= 0.05 * 0.05 and x < 0.5 and y < 0.58:
        return 4
    if d2 <= 0.17 * 0.17:
        return 3
    if d2 <= 0.24 * 0.24:
        return 6
    if 0.06 <= x <= 0.94 and 0.30 <= y <= 0.88:
        if 0.76 <= x <= 0.86 and 0.36 <= y <= 0.44:
            return 5
        edge = x < 0.12 or x > 0.88 or y < 0.36 or y > 0.82
        return 2 if edge else 1
    if 0.28 <= x <= 0.56 and 0.18 <= y < 0.30:
        return 2
    return TRANSPARENT


def image(size):
    rows = []
    for row in range(size):
        rows.append([pixel((col + 0.5) / size, (row + 0.5) / size) for col in range(size)])
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    palette = b''.join(struct.pack('<BBBB', *reversed(PALETTE.get(i, (0, 0, 0))), 0)
                       for i in range(256))
    xor = b''
    mask = b''
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):  # bottom-up
        xor += bytes(0 if c is None else c for c in row)  # size is a multiple of 4
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c is None else 0)
        mask += bits.to_bytes(size // 8, 'big').ljust(mask_stride, b'\0')
    return header + palette + xor + mask


def main(path):
    images = [image(16), image(32)]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((16, 32), images):
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'pravenit.ico')
