#!/usr/bin/env python3
"""Draws TolvaneWin.ico: a blue disc, a thin white ring and a bold white "L".

Six 32-bit images (256 as PNG, 128/64/48/32/16 as BMP with an AND mask),
drawn with 4x4 supersampling. Standard library only.
"""
import struct
import sys
import zlib

SIZES = [256, 128, 64, 48, 32, 16]
BLUE = (0x2B, 0x7C, 0xFF)
WHITE = (0xFF, 0xFF, 0xFF)


def coverage_pixel(size, px, py):
    """Returns (r, g, b, a) for one pixel, averaged over 4x4 samples."""
    samples = 4
    acc = [0.0, 0.0, 0.0, 0.0]
    scale = size / 32.0
    for sy in range(samples):
        for sx in range(samples):
            # Work in a 32-unit design space.
            x = (px + (sx + 0.5) / samples) / scale
            y = (py + (sy + 0.5) / samples) / scale
            dx, dy = x - 16.0, y - 16.0
            dist = (dx * dx + dy * dy) ** 0.5
            color, alpha = None, 0.0
            if dist <= 14.0:
                color, alpha = BLUE, 1.0
                if dist >= 12.6:
                    color = WHITE
                # The letter: a vertical bar and a foot.
                if 11.0 <= x <= 15.0 and 8.0 <= y <= 23.0:
                    color = WHITE
                if 11.0 <= x <= 21.0 and 19.5 <= y <= 23.0:
                    color = WHITE
            if alpha:
                acc[0] += color[0]
                acc[1] += color[1]
                acc[2] += color[2]
                acc[3] += 1.0
    n = samples * samples
    a = acc[3] / n
    if acc[3] == 0:
        return (0, 0, 0, 0)
    return (round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(a * 255))


def draw(size):
    return [[coverage_pixel(size, x, y) for x in range(size)] for y in range(size)]


def png(size, pixels):
    raw = b"".join(b"\x00" + b"".join(struct.pack("BBBB", *p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def bmp(size, pixels):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(
        b"".join(struct.pack("BBBB", p[2], p[1], p[0], p[3]) for p in pixels[y]) for y in range(size - 1, -1, -1))
    row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(size):
            if pixels[y][x][3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + xor + bytes(mask)


def main(path):
    images = []
    for size in SIZES:
        pixels = draw(size)
        images.append((size, png(size, pixels) if size == 256 else bmp(size, pixels)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size == 256 else size
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "TolvaneWin.ico")
