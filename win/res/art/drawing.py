"""The drawing tools of make_art.py: shapes as signed distance functions, a small stroke font, a canvas
that samples shapes at pixel centres (straight alpha), and the BMP and ICO file formats.

Standard library only; the same bytes on every run.
"""

import math
import struct

# Shapes: a distance function (negative inside) and a bounding box (x0, y0, x1, y1) in pixels.


class Shape:
    def __init__(self, fn, box):
        self.fn = fn
        self.box = box

    def __or__(self, other):
        a, b = self.fn, other.fn
        return Shape(lambda x, y: min(a(x, y), b(x, y)), _union(self.box, other.box))

    def __and__(self, other):
        a, b = self.fn, other.fn
        return Shape(lambda x, y: max(a(x, y), b(x, y)), _intersect(self.box, other.box))

    def __sub__(self, other):
        a, b = self.fn, other.fn
        return Shape(lambda x, y: max(a(x, y), -b(x, y)), self.box)

    def band(self, width):
        """The strip of the given width just inside the outline."""
        a = self.fn
        return Shape(lambda x, y: max(a(x, y), -a(x, y) - width), self.box)


def _union(p, q):
    return (min(p[0], q[0]), min(p[1], q[1]), max(p[2], q[2]), max(p[3], q[3]))


def _intersect(p, q):
    return (max(p[0], q[0]), max(p[1], q[1]), min(p[2], q[2]), min(p[3], q[3]))


EVERYWHERE = Shape(lambda x, y: -1e9, (-1e9, -1e9, 1e9, 1e9))


def circle(cx, cy, r):
    return Shape(lambda x, y: math.hypot(x - cx, y - cy) - r, (cx - r, cy - r, cx + r, cy + r))


def rrect(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def fn(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r

    return Shape(fn, (x0, y0, x1, y1))


def above(y_limit):
    """Everything above the line y = y_limit on screen."""
    return Shape(lambda x, y: y - y_limit, (-1e9, -1e9, 1e9, y_limit))


def polygon(points):
    n = len(points)

    def fn(x, y):
        d = float("inf")
        inside = False
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[i - 1]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            d = min(d, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
        return -d if inside else d

    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return Shape(fn, (min(xs), min(ys), max(xs), max(ys)))


def _segments_distance(segs, x, y):
    d = float("inf")
    for ax, ay, ex, ey, ll in segs:
        wx, wy = x - ax, y - ay
        t = (wx * ex + wy * ey) / ll if ll else 0.0
        t = 0.0 if t < 0 else 1.0 if t > 1 else t
        dx, dy = wx - ex * t, wy - ey * t
        dd = dx * dx + dy * dy
        if dd < d:
            d = dd
    return math.sqrt(d)


def _segments(paths):
    segs = []
    for path in paths:
        if len(path) == 1:
            path = [path[0], path[0]]
        for (ax, ay), (bx, by) in zip(path, path[1:]):
            ex, ey = bx - ax, by - ay
            segs.append((ax, ay, ex, ey, ex * ex + ey * ey))
    return segs


def stroke(paths, width):
    """Round-capped strokes along polylines."""
    segs = _segments(paths)
    xs = [p[0] for path in paths for p in path]
    ys = [p[1] for path in paths for p in path]
    h = width / 2
    return Shape(lambda x, y: _segments_distance(segs, x, y) - h, (min(xs) - h, min(ys) - h, max(xs) + h, max(ys) + h))


def arc(cx, cy, rx, ry, a0, a1, y_up=False):
    """Points along an elliptic arc from angle a0 to a1 (degrees, counter-clockwise on screen)."""
    n = max(6, int(abs(a1 - a0) / 8))
    pts = []
    for i in range(n + 1):
        a = math.radians(a0 + (a1 - a0) * i / n)
        pts.append((cx + rx * math.cos(a), cy + (ry if y_up else -ry) * math.sin(a)))
    return pts


# Lettering: a small stroke font for the Latin words on the skins. Units: cap height 1, baseline 0, y up.

_GLYPHS = {
    "D": (0.70, [[(0, 0), (0, 1), (0.22, 1)] + arc(0.22, 0.5, 0.48, 0.5, 90, -90, True) + [(0.22, 0), (0, 0)]]),
    "r": (0.44, [[(0, 0), (0, 0.72)], arc(0.42, 0.32, 0.42, 0.40, 180, 90, True)]),
    "a": (0.60, [arc(0.3, 0.36, 0.3, 0.36, 0, 360, True), [(0.6, 0), (0.6, 0.72)]]),
    "v": (0.60, [[(0, 0.72), (0.3, 0), (0.6, 0.72)]]),
    "e": (0.60, [[(0.02, 0.36), (0.6, 0.36)] + arc(0.31, 0.36, 0.29, 0.36, 0, 315, True)]),
    "l": (0.00, [[(0, 0), (0, 1.02)]]),
    "O": (0.84, [arc(0.42, 0.5, 0.42, 0.5, 0, 360, True)]),
    "n": (0.56, [[(0, 0), (0, 0.72)], [(0, 0.44)] + arc(0.28, 0.44, 0.28, 0.28, 180, 0, True) + [(0.56, 0)]]),
    "I": (0.00, [[(0, 0), (0, 1)]]),
    "P": (0.56, [[(0, 0), (0, 1), (0.28, 1)] + arc(0.28, 0.74, 0.27, 0.26, 90, -90, True) + [(0.28, 0.48), (0, 0.48)]]),
    "W": (0.90, [[(0, 1), (0.2, 0), (0.45, 0.78), (0.7, 0), (0.9, 1)]]),
    " ": (0.28, []),
}


def text_width(text, cap, weight):
    widths = [_GLYPHS[c][0] * cap + weight for c in text]
    return sum(widths) + (len(text) - 1) * 0.2 * cap


def lettering(text, x, baseline, cap, weight):
    """The text as one shape, with its top-left stroke edge near (x, baseline - cap)."""
    glyphs = []
    pen = x + weight / 2
    for c in text:
        width, paths = _GLYPHS[c]
        if paths:
            placed = [[(pen + px * cap, baseline - py * cap) for px, py in path] for path in paths]
            g = stroke(placed, weight)
            glyphs.append((g.box, g.fn))
        pen += width * cap + weight + 0.2 * cap

    def fn(px, py):
        d = 1e9
        for (x0, y0, x1, y1), g in glyphs:
            if x0 - 2 <= px <= x1 + 2 and y0 - 2 <= py <= y1 + 2:
                d = min(d, g(px, py))
        return d

    boxes = [b for b, _ in glyphs]
    box = boxes[0]
    for b in boxes[1:]:
        box = _union(box, b)
    return Shape(fn, box)


# Canvas with straight (not premultiplied) alpha.


def vgrad(top, bottom, y0, y1):
    def fn(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))

    return fn


def scaled(n, scale):
    """A length of the 100 % picture at scale, rounded as the program rounds (halves away from zero)."""
    return int(n * scale + 0.5)


class Canvas:
    """w x h in the 100 % picture's units; the pixels are w x h times the scale."""

    def __init__(self, w, h, colour=(0, 0, 0), alpha=0.0, scale=1):
        self.s = scale
        w, h = scaled(w, scale), scaled(h, scale)
        self.w, self.h = w, h
        self.rgb = [tuple(float(c) for c in colour)] * (w * h)
        self.a = [float(alpha)] * (w * h)

    def paint(self, shape, colour, opacity=1.0, clip=None, hard=False):
        """Blends the colour (or a function of x, y giving it) over the shape."""
        s = self.s
        x0, y0, x1, y1 = (v * s for v in shape.box)
        x0, y0 = max(0, int(math.floor(x0)) - 1), max(0, int(math.floor(y0)) - 1)
        x1, y1 = min(self.w, int(math.ceil(x1)) + 1), min(self.h, int(math.ceil(y1)) + 1)
        fn, w = shape.fn, self.w
        if s != 1:
            # distances come back in pixels of this canvas
            unscaled_fn, unscaled_colour = fn, colour
            fn = lambda x, y: unscaled_fn(x / s, y / s) * s
            if callable(unscaled_colour):
                colour = lambda x, y: unscaled_colour(x / s, y / s)
        for y in range(y0, y1):
            py = y + 0.5
            for x in range(x0, x1):
                i = y * w + x
                if clip is not None and not clip[i]:
                    continue
                d = fn(x + 0.5, py)
                if hard:
                    cov = 1.0 if d <= 0 else 0.0
                else:
                    cov = 1.0 if d <= -0.5 else 0.5 - d
                if cov <= 0:
                    continue
                src = colour(x + 0.5, py) if callable(colour) else colour
                self._blend(i, src, cov * opacity)

    def _blend(self, i, src, sa):
        da = self.a[i]
        oa = sa + da * (1 - sa)
        if oa <= 0:
            return
        dst = self.rgb[i]
        k = da * (1 - sa)
        self.rgb[i] = tuple((s * sa + d * k) / oa for s, d in zip(src, dst))
        self.a[i] = oa

    def mask(self, shape):
        """Pixels whose centres lie inside the shape."""
        w, s = self.w, self.s
        return [shape.fn((i % w + 0.5) / s, (i // w + 0.5) / s) <= 0 for i in range(w * self.h)]

    def pixels(self):
        """Rows top first of (r, g, b, a) bytes."""
        out = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                i = y * self.w + x
                r, g, b = (min(255, max(0, int(c + 0.5))) for c in self.rgb[i])
                row.append((r, g, b, min(255, max(0, int(self.a[i] * 255 + 0.5)))))
            out.append(row)
        return out


# File formats.


def bmp_bytes(rows, bits, palette=None):
    """A bottom-up BI_RGB bitmap file. rows: top row first; pixels (r, g, b, a), or palette indexes."""
    h, w = len(rows), len(rows[0])
    stride = ((w * bits + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bits == 32:
            for r, g, b, a in row:
                line += bytes((b, g, r, a))
        elif bits == 24:
            for r, g, b, _ in row:
                line += bytes((b, g, r))
        elif bits == 4:
            for x in range(0, w, 2):
                hi = row[x]
                lo = row[x + 1] if x + 1 < w else 0
                line.append(hi << 4 | lo)
        line += bytes(stride - len(line))
        data += line
    colours = len(palette) if palette else 0
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette) if palette else b""
    offset = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(data), 2835, 2835, colours, colours)
    head = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return head + info + pal + bytes(data)


def ico_bytes(images):
    """An icon file of 32-bit images with AND masks; images: list of pixel rows as from Canvas.pixels."""
    blobs = []
    for rows in images:
        n = len(rows)
        xor = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                xor += bytes((b, g, r, a) if a else (0, 0, 0, 0))
        stride = ((n + 31) // 32) * 4
        and_mask = bytearray()
        for row in reversed(rows):
            bits = bytearray(stride)
            for x, (_, _, _, a) in enumerate(row):
                if a < 128:
                    bits[x // 8] |= 0x80 >> (x % 8)
            and_mask += bits
        info = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
        blobs.append((n, info + bytes(xor) + bytes(and_mask)))
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for n, blob in blobs:
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blob for _, blob in blobs)
