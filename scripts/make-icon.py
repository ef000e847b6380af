#!/usr/bin/env python3
"""Draws the program's window icon (a blue shield with a white check mark) and
writes it as resources/assistant.ico. Pure Python, reproducible byte for byte:
16, 24, 32 and 48 pixel images as 32-bit DIBs (Windows XP reads those) and a
256 pixel image as PNG (Vista and later)."""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4  # supersampling per axis, for smooth edges

TOP = (0x2E, 0x86, 0xF0)
BOTTOM = (0x0B, 0x3C, 0x8C)
EDGE = (0x08, 0x2A, 0x66)
CHECK = (0xFF, 0xFF, 0xFF)


def shield_half_width(v):
    """Half width of the shield at height v (-1 top .. 1 bottom); None outside."""
    top, shoulder, tip = -0.86, 0.05, 0.92
    if v < top or v > tip:
        return None
    if v <= shoulder:
        # a slight dip in the middle of the top edge is drawn by inside()
        return 0.74
    t = (v - shoulder) / (tip - shoulder)
    return 0.74 * math.sqrt(max(0.0, 1.0 - t * t)) * (1.0 - 0.25 * t) + 0.0


def inside_shield(u, v, grow=0.0):
    w = shield_half_width(v - grow if v > 0 else v + grow)
    if w is None:
        return False
    if abs(u) > w + grow:
        return False
    # the top edge rises towards the corners, like a heraldic shield
    top_edge = -0.86 + 0.10 * (1.0 - (u / 0.74) ** 2) - grow
    return v >= top_edge


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def on_check(u, v):
    d = min(segment_distance(u, v, -0.38, 0.0, -0.10, 0.30),
            segment_distance(u, v, -0.10, 0.30, 0.42, -0.32))
    return d <= 0.11


def sample(u, v):
    """Colour (r, g, b, a) of one sample point."""
    if inside_shield(u, v):
        if on_check(u, v):
            return CHECK + (255,)
        t = (v + 1.0) / 2.0
        return tuple(int(round(a + (b - a) * t)) for a, b in zip(TOP, BOTTOM)) + (255,)
    if inside_shield(u, v, grow=0.06):
        return EDGE + (255,)
    return (0, 0, 0, 0)


def render(size):
    """Rows top to bottom of (r, g, b, a) pixels."""
    rows = []
    n = SAMPLES
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    u = ((x + (sx + 0.5) / n) / size) * 2.0 - 1.0
                    v = ((y + (sy + 0.5) / n) / size) * 2.0 - 1.0
                    r, g, b, a = sample(u * 1.05, v * 1.05)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / (n * n)
            if acc[3]:
                px = tuple(int(round(c / acc[3])) for c in acc[:3]) + (int(round(alpha)),)
            else:
                px = (0, 0, 0, 0)
            row.append(px)
        rows.append(row)
    return rows


def dib_image(rows):
    size = len(rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = bytearray()
    for row in reversed(rows):  # bottom-up
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(xor) + bytes(mask)


def png_image(rows):
    size = len(rows)
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) +
            chunk(b'IDAT', zlib.compress(bytes(raw), 9)) + chunk(b'IEND', b''))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'resources', 'assistant.ico')
    images = []
    for size in (16, 24, 32, 48, 256):
        rows = render(size)
        images.append((size, png_image(rows) if size == 256 else dib_image(rows)))
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, blob in images:
        dim = 0 if size >= 256 else size
        data += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for _, blob in images:
        data += blob
    with open(out, 'wb') as f:
        f.write(data)


if __name__ == '__main__':
    main()
