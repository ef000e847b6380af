#!/usr/bin/env python3
"""Draws every picture of the page (PNG, and animated GIF for the busy signs).

The pictures are plain geometry rendered with 4x4 supersampling, so the build
needs nothing beyond Python itself. Usage: draw_images.py OUTDIR
"""
import math
import os
import struct
import sys
import zlib

SS = 4  # subsamples per axis


def rgb(hexcode, a=255):
    hexcode = hexcode.lstrip('#')
    return (int(hexcode[0:2], 16), int(hexcode[2:4], 16), int(hexcode[4:6], 16), a)


BLUE = rgb('1e6fd9')
BLUE_DARK = rgb('12509f')
BLUE_LIGHT = rgb('5a9cf0')
GREEN = rgb('2ea44f')
RED = rgb('d9383a')
ORANGE = rgb('f08c00')
GREY = rgb('9aa4b1')
WHITE = rgb('ffffff')
GOLD = rgb('e8b43a')


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def blend(self, x, y, color, cover):
        if cover <= 0:
            return
        p = self.px[y * self.w + x]
        sa = color[3] / 255.0 * cover
        da = p[3] / 255.0
        oa = sa + da * (1 - sa)
        if oa <= 0:
            return
        for i in range(3):
            p[i] = int(round((color[i] * sa + p[i] * da * (1 - sa)) / oa))
        p[3] = int(round(oa * 255))

    def draw(self, shape, color, box=None):
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                # pixels whose corners and centre agree are taken as wholly
                # in or out (every stroke here is wider than half a pixel)
                probe = (shape(x, y), shape(x + 1, y), shape(x, y + 1), shape(x + 1, y + 1), shape(x + 0.5, y + 0.5))
                if all(probe) or not any(probe):
                    if probe[0]:
                        self.blend(x, y, color, 1.0)
                    continue
                hits = 0
                for sy in range(SS):
                    for sx in range(SS):
                        if shape(x + (sx + 0.5) / SS, y + (sy + 0.5) / SS):
                            hits += 1
                self.blend(x, y, color, hits / float(SS * SS))

    def vgradient(self, top, bottom, y0=0, y1=None):
        y1 = self.h if y1 is None else y1
        for y in range(y0, y1):
            t = (y - y0) / float(max(1, y1 - y0 - 1))
            c = tuple(int(round(top[i] + (bottom[i] - top[i]) * t)) for i in range(4))
            for x in range(self.w):
                self.px[y * self.w + x] = list(c)

    def png(self):
        raw = b''.join(b'\x00' + bytes(v for p in self.px[y * self.w:(y + 1) * self.w] for v in p)
                       for y in range(self.h))

        def chunk(kind, data):
            c = struct.pack('>I', len(data)) + kind + data
            return c + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)
        return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', self.w, self.h, 8, 6, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


# --- shapes: predicates over continuous pixel coordinates -------------------

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, width):
    ri = r - width
    return lambda x, y: ri * ri <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def roundrect(x0, y0, x1, y1, r):
    def f(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return f


def segment(ax, ay, bx, by, width):
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy or 1e-9
    hw2 = (width / 2.0) ** 2

    def f(x, y):
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ll))
        px, py = ax + t * dx - x, ay + t * dy - y
        return px * px + py * py <= hw2
    return f


def polyline(points, width):
    segs = [segment(points[i][0], points[i][1], points[i + 1][0], points[i + 1][1], width)
            for i in range(len(points) - 1)]
    return lambda x, y: any(s(x, y) for s in segs)


def polygon(points):
    def f(x, y):
        inside = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                inside = not inside
            j = i
        return inside
    return f


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def shield(cx, top, w, h):
    """A heraldic shield outline: straight top, curved sides meeting at a point."""
    pts = []
    for i in range(21):
        t = i / 20.0
        pts.append((cx + w / 2.0 * (1 - t ** 2.2), top + h * 0.28 + t * h * 0.72))
    right = pts
    left = [(2 * cx - x, y) for (x, y) in reversed(right)]
    return polygon([(cx - w / 2.0, top + h * 0.12), (cx, top), (cx + w / 2.0, top + h * 0.12)] + right + left)


# --- pictures ---------------------------------------------------------------

def status_icon(kind):
    c = Canvas(16, 16)
    color = {'ok': GREEN, 'bad': RED, 'warn': ORANGE, 'unknown': GREY}[kind]
    c.draw(circle(8, 8, 7.5), color)
    if kind == 'ok':
        c.draw(polyline([(4.3, 8.3), (7, 11), (11.8, 5.4)], 1.9), WHITE)
    elif kind == 'bad':
        c.draw(union(segment(5, 5, 11, 11, 1.9), segment(11, 5, 5, 11, 1.9)), WHITE)
    elif kind == 'warn':
        c.draw(union(segment(8, 4, 8, 9.2, 2.0), circle(8, 11.8, 1.15)), WHITE)
    else:
        c.draw(union(segment(5, 8, 11, 8, 1.9)), WHITE)
    return c


def title_button(kind):
    """Two frames side by side (normal, hover) for CSS sprites."""
    c = Canvas(60, 30)
    for frame in (0, 1):
        ox = frame * 30
        if frame:
            back = RED if kind == 'close' else rgb('ffffff', 60)
            c.draw(rect(ox, 0, ox + 30, 30), back)
        if kind == 'close':
            c.draw(union(segment(ox + 10, 10, ox + 20, 20, 1.6), segment(ox + 20, 10, ox + 10, 20, 1.6)), WHITE)
        elif kind == 'hide':
            c.draw(rect(ox + 9.5, 18, ox + 20.5, 19.6), WHITE)
        elif kind == 'setting':
            gear = union(ring(ox + 15, 15, 6.3, 2.6),
                         *[segment(ox + 15 + 5.2 * math.cos(a), 15 + 5.2 * math.sin(a),
                                   ox + 15 + 8.2 * math.cos(a), 15 + 8.2 * math.sin(a), 2.6)
                           for a in [i * math.pi / 4 for i in range(8)]])
            c.draw(gear, WHITE)
    return c


def logo():
    c = Canvas(28, 28)
    c.draw(shield(14, 1.5, 22, 25), WHITE)
    c.draw(shield(14, 3.5, 18, 21), BLUE)
    c.draw(polyline([(8.8, 13.8), (12.5, 17.5), (19.5, 9.5)], 2.6), WHITE)
    return c


def big_shield(kind):
    c = Canvas(72, 72)
    color = {'ok': GREEN, 'bad': ORANGE, 'busy': BLUE}[kind]
    c.draw(shield(36, 4, 58, 64), color)
    c.draw(shield(36, 9, 48, 54), rgb('ffffff', 60))
    if kind == 'ok':
        c.draw(polyline([(22, 36), (32, 46), (50, 25)], 6), WHITE)
    elif kind == 'bad':
        c.draw(union(segment(36, 20, 36, 39, 6.5), circle(36, 49, 3.6)), WHITE)
    else:
        c.draw(union(ring(33, 32, 11, 4), segment(41, 40, 50, 49, 5.5)), WHITE)
    return c


def tab_icon(kind):
    c = Canvas(28, 28)
    if kind == 'scan':
        c.draw(shield(14, 2, 20, 24), WHITE)
        c.draw(polyline([(9, 14), (12.6, 17.6), (19, 10.5)], 2.4), BLUE)
    elif kind == 'login':
        c.draw(union(circle(14, 9, 5), minus(circle(14, 27, 11), rect(0, 25, 28, 28))), WHITE)
    elif kind == 'key':
        c.draw(union(ring(9, 14, 6.5, 2.6), rect(14.5, 12.6, 25, 15.4), rect(21, 15, 23.6, 19.5),
                     rect(17, 15, 19.6, 18.5)), WHITE)
    elif kind == 'help':
        c.draw(ring(14, 14, 11.5, 2.2), WHITE)
        c.draw(union(circle(14, 8.6, 1.8), roundrect(12.4, 12, 15.6, 21, 1.2)), WHITE)
    return c


def usb_key(plugged):
    c = Canvas(120, 64)
    body = BLUE_DARK if plugged else GREY
    c.draw(roundrect(26, 12, 112, 52, 10), body)
    c.draw(roundrect(30, 16, 108, 48, 7), rgb('ffffff', 40))
    c.draw(rect(4, 20, 28, 44), rgb('c9d1da'))
    c.draw(union(rect(9, 25, 14, 30), rect(18, 25, 23, 30)), rgb('7d8894'))
    c.draw(circle(96, 32, 5), GREEN if plugged else rgb('dfe3e8'))
    c.draw(ring(96, 32, 7.5, 1.2), WHITE)
    c.draw(union(rect(44, 26, 78, 29), rect(44, 35, 68, 38)), rgb('ffffff', 150))
    return c


def login_icon(kind):
    c = Canvas(56, 56)
    c.draw(circle(28, 28, 27), BLUE if kind == 'person' else rgb('0f8b8d'))
    if kind == 'person':
        c.draw(union(circle(28, 20, 8), minus(circle(28, 50, 17), rect(0, 44, 56, 56))), WHITE)
    else:
        c.draw(union(rect(17, 15, 39, 44), rect(12, 44, 44, 46.5)), WHITE)
        for row in range(3):
            for col in range(3):
                x, y = 20.5 + col * 6, 19 + row * 7
                c.draw(rect(x, y, x + 3.5, y + 4), rgb('0f8b8d'))
        c.draw(rect(25.5, 38, 30.5, 44), rgb('0f8b8d'))
    return c


def strip(w, h, top, bottom):
    c = Canvas(w, h)
    c.vgradient(top, bottom)
    return c


def progress_parts():
    """PROGRESS1 track, 2 running, 3 done, 4 failed: one-pixel-wide bands for repeat-x."""
    return {
        'progress1.png': strip(1, 8, rgb('dfe4ea'), rgb('eef1f5')),
        'progress2.png': strip(1, 8, BLUE_LIGHT, BLUE),
        'progress3.png': strip(1, 8, rgb('5cc27a'), GREEN),
        'progress4.png': strip(1, 8, rgb('ee6b6d'), RED),
    }


# --- GIF with LZW, for the two animated busy signs --------------------------

def lzw(indices, min_code):
    clear, end = 1 << min_code, (1 << min_code) + 1
    table = {(i,): i for i in range(clear)}
    size, nxt = min_code + 1, end + 1
    out, bits, nbits = bytearray(), 0, 0

    def emit(code):
        nonlocal bits, nbits
        bits |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(bits & 0xff)
            bits >>= 8
            nbits -= 8
    emit(clear)
    cur = ()
    for v in indices:
        cand = cur + (v,)
        if cand in table:
            cur = cand
            continue
        emit(table[cur])
        if nxt < 4096:
            table[cand] = nxt
            nxt += 1
            if nxt > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            size, nxt = min_code + 1, end + 1
        cur = (v,)
    if cur:
        emit(table[cur])
    emit(end)
    if nbits:
        out.append(bits & 0xff)
    return bytes(out)


def gif(frames, delay_cs):
    """frames: Canvases of one size; pixels below half alpha become transparent.
    Colours are reduced to a fixed 64-level ramp per hue of the first opaque pixel."""
    w, h = frames[0].w, frames[0].h
    palette = [(255, 255, 255)]  # index 0 transparent
    lookup = {}

    def index_of(p):
        if p[3] < 128:
            return 0
        key = (p[0] >> 3, p[1] >> 3, p[2] >> 3)
        if key not in lookup:
            if len(palette) >= 256:
                best = min(range(1, len(palette)), key=lambda i: sum((palette[i][k] - p[k]) ** 2 for k in range(3)))
                return best
            lookup[key] = len(palette)
            palette.append((p[0], p[1], p[2]))
        return lookup[key]
    frame_idx = [[index_of(p) for p in f.px] for f in frames]
    depth = 1
    while (1 << depth) < len(palette):
        depth += 1
    depth = max(depth, 2)
    palette += [(0, 0, 0)] * ((1 << depth) - len(palette))
    data = bytearray(b'GIF89a' + struct.pack('<HHBBB', w, h, 0x80 | (depth - 1), 0, 0))
    for col in palette:
        data += bytes(col)
    data += b'\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00'
    for idx in frame_idx:
        data += b'\x21\xf9\x04' + struct.pack('<BHBB', 0x09, delay_cs, 0, 0)  # restore bg, transparent 0
        data += b'\x2c' + struct.pack('<HHHHB', 0, 0, w, h, 0)
        data += bytes([depth])
        payload = lzw(idx, depth)
        for i in range(0, len(payload), 255):
            block = payload[i:i + 255]
            data += bytes([len(block)]) + block
        data += b'\x00'
    data += b'\x3b'
    return bytes(data)


def spinner_frames(size, radius, dot, color, count=8):
    frames = []
    c0 = size / 2.0
    for f in range(count):
        c = Canvas(size, size)
        for i in range(count):
            a = 2 * math.pi * i / count - math.pi / 2
            fade = ((i - f) % count) / float(count)
            alpha = int(255 * (1 - fade * 0.85))
            c.draw(circle(c0 + radius * math.cos(a), c0 + radius * math.sin(a), dot),
                   (color[0], color[1], color[2], alpha))
        frames.append(c)
    return frames


def scanning_frames():
    frames = []
    for f in range(12):
        c = Canvas(72, 72)
        c.draw(shield(36, 4, 58, 64), BLUE)
        c.draw(shield(36, 9, 48, 54), rgb('3f86e6'))
        a = 2 * math.pi * f / 12
        cx, cy = 33 + 4 * math.cos(a), 34 + 4 * math.sin(a)
        c.draw(union(ring(cx, cy, 11, 4), segment(cx + 8, cy + 8, cx + 16, cy + 16, 5.5)), WHITE)
        frames.append(c)
    return frames


def pictures():
    out = {}
    for k in ('ok', 'bad', 'warn', 'unknown'):
        out['%s.png' % k] = status_icon(k).png()
    for k in ('close', 'hide', 'setting'):
        out['%s.png' % k] = title_button(k).png()
    out['logo.png'] = logo().png()
    for k in ('ok', 'bad', 'busy'):
        out['shield_%s.png' % k] = big_shield(k).png()
    for k in ('scan', 'login', 'key', 'help'):
        out['tab_%s.png' % k] = tab_icon(k).png()
    out['usbkey_on.png'] = usb_key(True).png()
    out['usbkey_off.png'] = usb_key(False).png()
    out['login_person.png'] = login_icon('person').png()
    out['login_corp.png'] = login_icon('corp').png()
    for name, c in progress_parts().items():
        out[name] = c.png()
    out['title_bg.png'] = strip(1, 40, rgb('2a7de6'), rgb('1862c6')).png()
    out['tabs_bg.png'] = strip(1, 52, rgb('1862c6'), rgb('1452a8')).png()
    out['button.png'] = strip(1, 26, rgb('3b8bf0'), rgb('1e6fd9')).png()
    out['button_gray.png'] = strip(1, 26, rgb('fdfdfd'), rgb('e6e9ee')).png()
    out['loading.gif'] = gif(spinner_frames(16, 5.2, 1.7, BLUE), 8)
    out['scanning.gif'] = gif(scanning_frames(), 8)
    return out


def main(argv):
    if len(argv) != 2:
        sys.stderr.write('usage: draw_images.py OUTDIR\n')
        return 2
    os.makedirs(argv[1], exist_ok=True)
    for name, data in sorted(pictures().items()):
        path = os.path.join(argv[1], name)
        try:
            with open(path, 'rb') as f:
                if f.read() == data:
                    continue  # unchanged pictures keep their time stamp
        except OSError:
            pass
        with open(path, 'wb') as f:
            f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
