#!/usr/bin/env python3
"""Draws the plug-in's icons and writes them as .ico files into res/icons/.

Page icons use the 16-colour VGA palette (4 bits per pixel plus an AND mask),
as the page list's image list expects, each drawn at 32, 48 and 64 pixels in
one file: the list takes the size that suits the display's DPI (96, 144, 192).
The frame icon is 128x128 with 24-bit colour. Standard library only, so the icons can be remade on any
build machine: python3 res/make_icons.py
"""

import math
import os
import struct
import sys

# Windows' 16-colour palette, in palette order.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = VGA[0:8]
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = VGA[8:16]


# ---- shapes: predicates inside(x, y) in drawing units ----------------------

def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def ring(cx, cy, r_in, r_out):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def round_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def segment_distance(x, y, ax, ay, bx, by):
    vx, vy = bx - ax, by - ay
    t = ((x - ax) * vx + (y - ay) * vy) / (vx * vx + vy * vy or 1.0)
    t = min(1.0, max(0.0, t))
    return math.hypot(x - ax - t * vx, y - ay - t * vy)


def polyline(points, width):
    half = width / 2.0
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    box = (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half)

    def inside(x, y):
        if not (box[0] <= x <= box[2] and box[1] <= y <= box[3]):
            return False
        return any(segment_distance(x, y, *points[i], *points[i + 1]) <= half
                   for i in range(len(points) - 1))
    return inside


def arc(cx, cy, r, width, a0, a1):
    """Ring segment between angles a0..a1 (degrees, 0 = right, counter-clockwise on screen)."""
    half = width / 2.0

    def inside(x, y):
        d = math.hypot(x - cx, y - cy)
        if abs(d - r) > half:
            return False
        a = math.degrees(math.atan2(cy - y, x - cx))
        return any(a0 <= a + k <= a1 for k in (-360.0, 0.0, 360.0))
    return inside


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(shape, cut):
    return lambda x, y: shape(x, y) and not cut(x, y)


# ---- canvas ------------------------------------------------------------------

class Canvas:
    """Pixels with coverage; palette mode paints a pixel when half of it is covered."""

    def __init__(self, size, units, palette=None, samples=4):
        self.size = size
        self.scale = size / units
        self.palette = palette
        self.samples = samples
        self.rgb = [[(0.0, 0.0, 0.0)] * size for _ in range(size)]
        self.alpha = [[0.0] * size for _ in range(size)]

    def fill(self, shape, colour):
        """colour: an (r, g, b) tuple or a function (x, y) -> (r, g, b)."""
        n = self.samples
        for py in range(self.size):
            for px in range(self.size):
                hits = 0
                sx = sy = 0.0
                for j in range(n):
                    y = (py + (j + 0.5) / n) / self.scale
                    for i in range(n):
                        x = (px + (i + 0.5) / n) / self.scale
                        if shape(x, y):
                            hits += 1
                            sx += x
                            sy += y
                if hits == 0:
                    continue
                cover = hits / (n * n)
                col = colour(sx / hits, sy / hits) if callable(colour) else colour
                if self.palette is not None:
                    if cover >= 0.5:
                        self.rgb[py][px] = nearest(col, self.palette)
                        self.alpha[py][px] = 1.0
                    continue
                old_a = self.alpha[py][px]
                new_a = old_a + cover * (1.0 - old_a)
                old = self.rgb[py][px]
                self.rgb[py][px] = tuple(
                    (col[k] * cover + old[k] * old_a * (1.0 - cover)) / new_a for k in range(3))
                self.alpha[py][px] = new_a

    def clear(self, shape):
        """Makes the pixels whose centre is covered transparent again (holes)."""
        for py in range(self.size):
            for px in range(self.size):
                x = (px + 0.5) / self.scale
                y = (py + 0.5) / self.scale
                if shape(x, y):
                    self.alpha[py][px] = 0.0
                    self.rgb[py][px] = (0.0, 0.0, 0.0)


def nearest(col, palette):
    return min(palette, key=lambda p: sum((p[k] - col[k]) ** 2 for k in range(3)))


# ---- ICO writing ---------------------------------------------------------------

def and_mask(canvas):
    size = canvas.size
    stride = ((size + 31) // 32) * 4
    out = bytearray()
    for py in reversed(range(size)):
        row = bytearray(stride)
        for px in range(size):
            if canvas.alpha[py][px] < 0.5:
                row[px // 8] |= 0x80 >> (px % 8)
        out += row
    return bytes(out)


def bitmap_header(size, bits, image_bytes, colours):
    return struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bits, 0,
                       image_bytes, 0, 0, colours, 0)


def ico_file(images):
    """images: (size, bits, colours, body) for each image, smallest first."""
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b''
    for size, bits, colours, body in images:
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, colours % 256, 0, 1, bits,
                               len(body), offset)
        offset += len(body)
    return directory + entries + b''.join(image[3] for image in images)


def image_4bpp(canvas):
    size = canvas.size
    index = {c: i for i, c in enumerate(VGA)}
    stride = ((size * 4 + 31) // 32) * 4
    xor = bytearray()
    for py in reversed(range(size)):
        row = bytearray(stride)
        for px in range(size):
            i = index[canvas.rgb[py][px]] if canvas.alpha[py][px] >= 0.5 else 0
            row[px // 2] |= i << (4 if px % 2 == 0 else 0)
        xor += row
    mask = and_mask(canvas)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in VGA)
    body = bitmap_header(size, 4, len(xor) + len(mask), 16) + palette + bytes(xor) + mask
    return (size, 4, 16, body)


def image_24bpp(canvas):
    size = canvas.size
    stride = ((size * 24 + 31) // 32) * 4
    xor = bytearray()
    for py in reversed(range(size)):
        row = bytearray(stride)
        for px in range(size):
            if canvas.alpha[py][px] >= 0.5:
                r, g, b = (max(0, min(255, int(round(v)))) for v in canvas.rgb[py][px])
                row[px * 3:px * 3 + 3] = bytes((b, g, r))
        xor += row
    mask = and_mask(canvas)
    body = bitmap_header(size, 24, len(xor) + len(mask), 0) + bytes(xor) + mask
    return (size, 24, 0, body)


# ---- the icons (page icons drawn on a 32-unit grid at every size) ---------------

PAGE_SIZES = (32, 48, 64)


def page_canvas(size):
    return Canvas(size, 32.0, palette=VGA)


def draw_general(size):
    """A gear."""
    c = page_canvas(size)

    def gear(outer, body, half_tooth, hole):
        def inside(x, y):
            dx, dy = x - 16.0, y - 16.0
            r = math.hypot(dx, dy)
            if r <= hole:
                return False
            if r <= body:
                return True
            if r > outer:
                return False
            for k in range(8):
                a = math.radians(k * 45.0 + 22.5)
                along = dx * math.cos(a) + dy * math.sin(a)
                across = -dx * math.sin(a) + dy * math.cos(a)
                if along > 0 and abs(across) <= half_tooth:
                    return True
            return False
        return inside

    c.fill(gear(15.0, 11.0, 3.4, 0.0), BLACK)
    c.fill(gear(13.8, 9.8, 2.3, 0.0), SILVER)
    c.fill(circle(16, 16, 6.2), BLACK)
    c.fill(circle(16, 16, 5.0), BLUE)
    c.fill(circle(16, 16, 3.3), BLACK)
    c.clear(circle(16, 16, 2.4))
    return c


def draw_dtgain(size):
    """The letters DT over a rising gain ramp."""
    c = page_canvas(size)
    d = union(rect(2, 2, 5.2, 17),
              rect(2, 2, 8, 5.2), rect(2, 13.8, 8, 17),
              minus(minus(ellipse(8, 9.5, 6.6, 7.5), ellipse(8, 9.5, 3.4, 4.3)),
                    rect(0, 0, 8, 32)))
    t = union(rect(17, 2, 30, 5.2), rect(21.9, 2, 25.1, 17))
    c.fill(d, NAVY)
    c.fill(t, NAVY)
    ramp_outline = polygon([(2, 30), (30, 30), (30, 19.5)])
    ramp = polygon([(5.5, 29), (29, 29), (29, 21)])
    c.fill(ramp_outline, GREEN)
    c.fill(ramp, LIME)
    c.fill(rect(2, 30, 30, 31), BLACK)
    return c


def draw_monopole(size):
    """One transmitter sending circular waves."""
    c = page_canvas(size)
    c.fill(ring(16, 16, 13.6, 15.4), AQUA)
    c.fill(ring(16, 16, 9.4, 11.2), TEAL)
    c.fill(ring(16, 16, 5.6, 7.2), BLUE)
    c.fill(circle(16, 16, 3.6), MAROON)
    c.fill(circle(16, 16, 2.6), RED)
    return c


def draw_dipole(size):
    """Two opposed lobes: the figure-eight of a dipole source."""
    c = page_canvas(size)
    c.fill(rect(15.4, 2, 16.6, 30), BLACK)                          # tool axis, behind
    c.fill(circle(8.6, 16, 7.6), NAVY)
    c.fill(circle(8.6, 16, 6.3), BLUE)
    c.fill(circle(23.4, 16, 7.6), MAROON)
    c.fill(circle(23.4, 16, 6.3), RED)
    c.fill(rect(5.6, 15.0, 11.6, 17.0), WHITE)                      # minus
    c.fill(union(rect(20.4, 15.0, 26.4, 17.0), rect(22.4, 12.0, 24.4, 20.0)), WHITE)  # plus
    c.fill(circle(16, 16, 1.8), BLACK)
    return c


def waveform(x0, x1, mid, amp, onset, steps=90):
    """A first arrival: quiet, then a burst that grows and dies away."""
    pts = []
    for i in range(steps + 1):
        x = x0 + (x1 - x0) * i / steps
        t = (x - onset) / (x1 - x0)
        env = 0.0 if t < 0 else (t * 9.0) * math.exp(1.0 - t * 9.0)
        pts.append((x, mid - amp * env * math.sin(t * 44.0)))
    return pts


def draw_acoustic(size):
    """A waveform on a scope screen."""
    c = page_canvas(size)
    c.fill(round_rect(1, 3, 31, 29, 3), SILVER)
    c.fill(round_rect(2.2, 4.2, 29.8, 27.8, 2), BLACK)
    for gx in (9, 16, 23):
        c.fill(rect(gx - 0.35, 5, gx + 0.35, 27), GREEN)
    for gy in (10, 22):
        c.fill(rect(3, gy - 0.35, 29, gy + 0.35), GREEN)
    c.fill(rect(3, 15.6, 29, 16.4), GREEN)
    c.fill(polyline(waveform(3.2, 28.8, 16.0, 10.0, 7.0), 1.9), LIME)
    return c


def draw_frame(size):
    """A logging sonde with waves leaving its transmitter (128x128, 24-bit)."""
    c = Canvas(size, 128.0, palette=None, samples=3)

    # waves on both sides of the transmitter
    tx_y = 94.0
    for k, r in enumerate((24.0, 36.0, 48.0, 60.0)):
        shade = 1.0 - 0.17 * k
        colour = (40 * shade + 215 * (1 - shade), 120 * shade + 215 * (1 - shade), 230)
        for a0, a1 in ((-32.0, 32.0), (148.0, 212.0)):
            c.fill(arc(64.0, tx_y, r, 5.0, a0, a1), colour)

    # tool body: a steel cylinder, lit from the left
    def steel(x, y):
        t = (x - 50.0) / 28.0
        light = 0.55 + 0.45 * math.cos((t - 0.35) * math.pi * 1.1)
        return (70 + 150 * light, 80 + 150 * light, 95 + 145 * light)

    c.fill(round_rect(50, 4, 78, 124, 9), (40, 45, 55))
    c.fill(round_rect(52, 6, 76, 122, 8), steel)

    def band(y0, y1, base):
        def shade(x, y):
            t = (x - 52.0) / 24.0
            light = 0.6 + 0.4 * math.cos((t - 0.35) * math.pi * 1.1)
            return tuple(v * light for v in base)
        c.fill(rect(52, y0, 76, y1), shade)

    # joints, four receivers, the transmitter
    for y in (20.0, 70.0, 110.0):
        band(y, y + 2.0, (60, 60, 70))
    for y in (30.0, 38.0, 46.0, 54.0):
        band(y, y + 4.0, (40, 90, 200))
    band(88.0, 100.0, (230, 60, 40))
    return c


ICONS = [
    ('general.ico', draw_general, image_4bpp, PAGE_SIZES),
    ('dtgain.ico', draw_dtgain, image_4bpp, PAGE_SIZES),
    ('monopole.ico', draw_monopole, image_4bpp, PAGE_SIZES),
    ('dipole.ico', draw_dipole, image_4bpp, PAGE_SIZES),
    ('acoustic.ico', draw_acoustic, image_4bpp, PAGE_SIZES),
    ('frame.ico', draw_frame, image_24bpp, (128,)),
]


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'icons')
    os.makedirs(folder, exist_ok=True)
    for name, draw, encode, sizes in ICONS:
        data = ico_file([encode(draw(size)) for size in sizes])
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)
        print('%s: %d bytes' % (name, len(data)))
    return 0


if __name__ == '__main__':
    sys.exit(main())
