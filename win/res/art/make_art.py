#!/usr/bin/env python3
"""Draws Dravel On's icons, skins and check-box strip and synthesises its alert sound.

usage: make_art.py OUTPUT_DIR

Every picture comes at 100, 150 and 200 % for scaled displays: skins as separate bitmaps ("_150", "_200"),
icons as further images of the same icon file. Shapes are given in the 100 % picture's pixels and the canvas
samples them at its scale, so a larger picture is drawn afresh, never enlarged.

Standard library only, and the same bytes on every run: shapes are signed distance functions sampled at
pixel centres, which gives anti-aliased edges without any image library. Skins that the program cuts out by
a colour key get hard outer edges, so that no blended pixel of the key colour stays visible as a fringe.
"""

import math
import os
import struct
import sys
import wave

from drawing import (
    Shape,
    EVERYWHERE,
    circle,
    rrect,
    above,
    polygon,
    stroke,
    arc,
    text_width,
    lettering,
    vgrad,
    scaled,
    Canvas,
    bmp_bytes,
    ico_bytes,
)


# Colours.

TEAL_DEEP = (8, 47, 58)
TEAL_DARK = (11, 61, 74)
TEAL = (15, 94, 110)
TEAL_MID = (26, 128, 145)
TEAL_LIGHT = (96, 186, 196)
WHITE = (255, 255, 255)


def darker(c, f=0.72):
    return tuple(v * f for v in c)


def lighter(c, f=0.35):
    return tuple(v + (255 - v) * f for v in c)


# Icons (drawn on a 32-unit grid and scaled to the image size).


def bubble(cv, s, fill_top, fill_bottom, dots=WHITE, x=0.0, y=0.0):
    """The program's speech bubble with three dots, in an s x s square at (x, y)."""
    u = s / 32.0
    body = rrect(x + 2 * u, y + 4 * u, x + 30 * u, y + 24 * u, 8 * u)
    tail = polygon([(x + 7 * u, y + 20 * u), (x + 15 * u, y + 21 * u), (x + 4.5 * u, y + 29.5 * u)])
    shape = body | tail
    cv.paint(shape, vgrad(fill_top, fill_bottom, y + 4 * u, y + 29 * u))
    cv.paint(shape.band(max(1.0, u)), darker(fill_bottom, 0.75), opacity=0.8)
    r = max(1.15, 2.3 * u)
    for cx in (10, 16, 22):
        cv.paint(circle(x + cx * u, y + 14 * u, r), dots)


def app_icon(size):
    cv = Canvas(size, size)
    bubble(cv, size, (30, 132, 150), (10, 70, 84))
    return cv.pixels()


def person(cv, top, bottom, dx=0.0, dy=0.0, k=1.0):
    def at(x, y):
        return dx + 16 + (x - 16) * k, dy + 16 + (y - 16) * k

    hx, hy = at(16, 10.5)
    head = circle(hx, hy, 5.6 * k)
    x0, y0 = at(5.5, 18.5)
    x1, y1 = at(26.5, 38)
    body = rrect(x0, y0, x1, y1, 9 * k) & above(at(0, 28.5)[1])
    fill = vgrad(top, bottom, at(0, 4)[1], at(0, 29)[1])
    for part in (head, body):
        cv.paint(part, fill)
        cv.paint(part.band(1.0), darker(bottom, 0.7), opacity=0.7)


def badge(cv, colour):
    ring = circle(24.5, 24.5, 6.5)
    cv.paint(ring, WHITE)
    cv.paint(circle(24.5, 24.5, 5.2), colour)


def person_icon(top, bottom, extra=None, size=32):
    cv = Canvas(32, 32, scale=size / 32)
    person(cv, top, bottom)
    if extra:
        extra(cv)
    return cv.pixels()


def away_badge(cv):
    badge(cv, (232, 140, 20))
    cv.paint(stroke([[(24.5, 21.2), (24.5, 24.8), (27.2, 26.2)]], 1.5), WHITE)


def blocked_badge(cv):
    badge(cv, (210, 48, 40))
    cv.paint(stroke([[(21.6, 24.5), (27.4, 24.5)]], 2.0), WHITE)


def group_icon(size=32):
    cv = Canvas(32, 32, scale=size / 32)
    person(cv, lighter(TEAL_MID, 0.25), TEAL_MID, dx=5.5, dy=-2.5, k=0.8)
    person(cv, (36, 150, 166), TEAL_DARK, dx=-3, dy=1.5, k=0.92)
    return cv.pixels()


def close_icon(top, bottom, edge, cross, size=32):
    cv = Canvas(32, 32, scale=size / 32)
    sq = rrect(3, 3, 29, 29, 7)
    cv.paint(sq, vgrad(top, bottom, 3, 29))
    cv.paint(sq.band(1.0), edge)
    cv.paint(stroke([[(11, 11), (21, 21)], [(21, 11), (11, 21)]], 3.4), cross)
    return cv.pixels()


def attach_icon(size=32):
    cv = Canvas(32, 32, scale=size / 32)
    path = (
        [(2, -4.5), (2, 6)]
        + arc(0, 6, 2, 2, 0, -180)
        + [(-2, -8)]
        + arc(1.5, -8, 3.5, 3.5, 180, 0)
        + [(5, 7)]
        + arc(0, 7, 5, 5, 0, -180)
        + [(-5, -3)]
    )
    c, s = math.cos(math.radians(40)), math.sin(math.radians(40))
    placed = [(16 + x * c - y * s, 16.5 + x * s + y * c) for x, y in path]
    cv.paint(stroke([placed], 3.6), (210, 218, 224), opacity=0.9)
    cv.paint(stroke([placed], 2.2), (58, 72, 84))
    return cv.pixels()


# Skins.


def keyed_skin(w, h, key, outline, scale=1):
    """A canvas filled with the key colour, and the mask of the pixels that belong to the window."""
    cv = Canvas(w, h, key, 1.0, scale)
    return cv, cv.mask(outline)


def keep_off_key(rows, inside, key, w):
    """Nudges window pixels that happen to equal the key colour, which would otherwise become holes."""
    for y, row in enumerate(rows):
        for x, px in enumerate(row):
            if inside[y * w + x] and px[:3] == key:
                row[x] = tuple(c - 1 if c else c + 1 for c in px[:3]) + (px[3],)
    return rows


def login_skin(scale=1):
    w, h, key = 243, 270, (0, 255, 0)
    outline = rrect(0, 0, w, h, 18)
    cv, inside = keyed_skin(w, h, key, outline, scale)
    head = 120
    cv.paint(EVERYWHERE, vgrad((22, 118, 134), TEAL_DARK, 0, head), clip=inside)
    lower = Shape(lambda x, y: head - y, (0, head, w, h))
    cv.paint(lower, vgrad((246, 250, 251), (222, 234, 238), head, h), clip=inside, hard=True)
    cv.paint(Shape(lambda x, y: abs(y - head - 0.5) - 1, (0, head - 2, w, head + 2)), TEAL_LIGHT, clip=inside)
    # logo and name
    bubble(cv, 56, (255, 255, 255), (214, 236, 240), dots=TEAL, x=w / 2 - 28, y=14)
    cap, weight = 19, 3.2
    tw = text_width("Dravel On", cap, weight)
    cv.paint(lettering("Dravel On", (w - tw) / 2, 104, cap, weight), (250, 252, 252))
    # the card behind the two edit boxes, and their labels beside the edits' rows (dialog units 100 and 114,
    # 12 high) at 1.5 pixels per unit, the scale of 돋움 9 pt on Korean Windows
    card = rrect(14, 138, w - 14, 198, 8)
    cv.paint(card, (255, 255, 255), opacity=0.75)
    cv.paint(card.band(1.0), (176, 204, 212))
    for label, base in (("ID", 163.5), ("PW", 184.5)):
        lw = text_width(label, 9, 1.8)
        cv.paint(lettering(label, 80 - lw, base, 9, 1.8), TEAL_DARK)
    # frame: a dark edge and a faint inner light
    cv.paint(outline.band(1.6), TEAL_DEEP, clip=inside)
    cv.paint(rrect(1.6, 1.6, w - 1.6, h - 1.6, 16.4).band(1.0), (120, 190, 200), opacity=0.45, clip=inside)
    return keep_off_key(cv.pixels(), inside, key, cv.w)


def notifier_skin(scale=1):
    w, h, key = 200, 147, (255, 255, 255)
    outline = rrect(0, 0, w, h, 14)
    cv, inside = keyed_skin(w, h, key, outline, scale)
    cv.paint(EVERYWHERE, vgrad((30, 116, 132), (9, 52, 64), 22, h), clip=inside)
    header = Shape(lambda x, y: y - 22, (0, 0, w, 22))
    cv.paint(header, TEAL_DEEP, clip=inside, hard=True)
    cv.paint(Shape(lambda x, y: abs(y - 22.5) - 0.5, (0, 21, w, 24)), (74, 164, 178), clip=inside)
    bubble(cv, 16, (255, 255, 255), (200, 228, 234), dots=TEAL_DEEP, x=9, y=3)
    cv.paint(lettering("Dravel On", 31, 15.5, 9, 1.6), (236, 246, 248))
    cv.paint(outline.band(1.4), (5, 32, 40), clip=inside)
    return keep_off_key(cv.pixels(), inside, key, cv.w)


def popup_skin(kind, scale=1):
    w, h = 200, 97
    top, bottom, accent = {
        "message": ((238, 247, 250), (204, 229, 236), (22, 120, 138)),
        "cancel": ((254, 242, 236), (247, 212, 198), (204, 74, 46)),
        "file": ((242, 249, 238), (212, 235, 202), (62, 142, 52)),
    }[kind]
    cv = Canvas(w, h, WHITE, 1.0, scale)
    cv.paint(EVERYWHERE, vgrad(top, bottom, 0, h))
    stripe = Shape(lambda x, y: x - 34, (0, 0, 34, h))
    cv.paint(stripe, vgrad(lighter(accent, 0.12), darker(accent, 0.78), 0, h), hard=True)
    cv.paint(Shape(lambda x, y: abs(x - 34.5) - 0.5, (33, 0, 36, h)), darker(accent, 0.6))
    # the glyph of the kind, white on the stripe
    if kind == "message":
        bubble(cv, 24, WHITE, (226, 240, 244), dots=accent, x=5, y=24)
    elif kind == "cancel":
        cv.paint(circle(17, 36, 10.5), WHITE)
        cv.paint(stroke([[(12.5, 31.5), (21.5, 40.5)], [(21.5, 31.5), (12.5, 40.5)]], 3.0), accent)
    else:
        page = polygon([(9, 23), (20, 23), (26, 29), (26, 49), (9, 49)])
        cv.paint(page, WHITE)
        cv.paint(polygon([(20, 23), (26, 29), (20, 29)]), lighter(accent, 0.55))
        cv.paint(stroke([[(12.5, 35), (22.5, 35)], [(12.5, 39.5), (22.5, 39.5)], [(12.5, 44), (19, 44)]], 1.4),
                 accent)
    # footer under the text area (which ends 25 pixels above the bottom)
    cv.paint(Shape(lambda x, y: abs(y - 74.5) - 0.5, (35, 73, w, 76)), lighter(accent, 0.45))
    tw = text_width("Dravel On", 8, 1.5)
    cv.paint(lettering("Dravel On", w - 10 - tw, 89, 8, 1.5), darker(accent, 0.85), opacity=0.85)
    cv.paint(rrect(0, 0, w, h, 0.01).band(1.0), darker(accent, 0.55))
    return cv.pixels()


CHECK_PALETTE = [
    (255, 0, 255),  # 0 transparent
    (0, 0, 0),
    (255, 255, 255),  # 2 box face
    (15, 94, 110),  # 3 box edge
    (22, 128, 62),  # 4 tick
    (150, 156, 160),  # 5 disabled edge
    (232, 234, 236),  # 6 disabled face
    (200, 44, 36),  # 7 cross
    (226, 240, 243),  # 8 box shade
    (128, 128, 128),
    (192, 192, 192),
    (0, 0, 128),
    (0, 128, 128),
    (128, 0, 0),
    (128, 128, 0),
    (0, 128, 0),
]

_TICK = ["......#", ".....##", "#...###", "##.###.", "#####..", ".###...", "..#...."]


def checkbox_strip(scale=1):
    """Eight 16 x 16 cells: empty box, ticked box, crossed box, crossed box disabled, then radio buttons off,
    on, off disabled, on disabled. Drawn as hard pixels in the 16-colour palette; index 0 is transparent.
    At a larger scale the cells are 16 x scale pixels."""
    n = scaled(16, scale)
    rows = [[0] * (8 * n) for _ in range(n)]

    def put(cell, shape, index):
        for y in range(n):
            for x in range(n):
                if shape.fn((x + 0.5) / scale, (y + 0.5) / scale) <= 0:
                    rows[y][cell * n + x] = index

    def box(cell, edge, face, shade):
        put(cell, rrect(1, 1, 14, 14, 0.01), edge)
        put(cell, rrect(2, 2, 13, 13, 0.01), shade)
        put(cell, rrect(3, 3, 13, 13, 0.01), face)

    def cross(cell, index):
        put(cell, stroke([[(4.5, 4.5), (10.5, 10.5)], [(10.5, 4.5), (4.5, 10.5)]], 1.6), index)

    def radio(cell, edge, face, dot):
        put(cell, circle(7.5, 7.5, 6.6), edge)
        put(cell, circle(7.5, 7.5, 5.4), face)
        if dot is not None:
            put(cell, circle(7.5, 7.5, 2.6), dot)

    box(0, 3, 2, 8)
    box(1, 3, 2, 8)
    for y in range(n):
        for x in range(n):
            dy, dx = int((y + 0.5) / scale) - 4, int((x + 0.5) / scale) - 4
            if 0 <= dy < len(_TICK) and 0 <= dx < len(_TICK[dy]) and _TICK[dy][dx] == "#":
                rows[y][n + x] = 4
    box(2, 3, 2, 8)
    cross(2, 7)
    box(3, 5, 6, 6)
    cross(3, 5)
    radio(4, 3, 2, None)
    radio(5, 3, 2, 4)
    radio(6, 5, 6, None)
    radio(7, 5, 6, 5)
    return rows


# The alert sound: two soft bell notes, E6 then C6, with a fade-out.


def chime():
    rate, seconds = 22050, 0.4
    n = int(rate * seconds)
    notes = [(0.0, 1318.51), (0.14, 1046.50)]
    samples = []
    for i in range(n):
        t = i / rate
        v = 0.0
        for start, f in notes:
            u = t - start
            if u < 0:
                continue
            env = min(1.0, u / 0.004) * math.exp(-u / 0.11)
            v += env * (math.sin(2 * math.pi * f * u) + 0.28 * math.exp(-u / 0.04) * math.sin(2 * math.pi * 2 * f * u)
                        + 0.08 * math.sin(2 * math.pi * 3 * f * u))
        fade = min(1.0, (seconds - t) / 0.08)
        samples.append(v * fade)
    peak = max(abs(s) for s in samples)
    scale = 0.6 * 32767 / peak
    return rate, b"".join(struct.pack("<h", int(round(s * scale))) for s in samples)


# The 32-pixel image first: it is the one taken at 100 %; 48 and 64 serve 150 and 200 %.
ICON_SIZES = (32, 48, 64)
ICONS = {
    "mainframe.ico": lambda: [app_icon(n) for n in ICON_SIZES],
    "dravelon_large.ico": lambda: [app_icon(48), app_icon(32), app_icon(16), app_icon(64), app_icon(96)],
    "close_active.ico": lambda: [close_icon((236, 92, 78), (186, 38, 32), (150, 28, 24), WHITE, n) for n in ICON_SIZES],
    "close_idle.ico": lambda: [
        close_icon((236, 239, 241), (200, 206, 210), (150, 158, 164), (92, 100, 108), n) for n in ICON_SIZES
    ],
    "attach.ico": lambda: [attach_icon(n) for n in ICON_SIZES],
    "user_away.ico": lambda: [person_icon((250, 196, 92), (214, 134, 22), away_badge, n) for n in ICON_SIZES],
    "user_blocked.ico": lambda: [person_icon((196, 172, 170), (140, 112, 110), blocked_badge, n) for n in ICON_SIZES],
    "chat_list.ico": lambda: [group_icon(n) for n in ICON_SIZES],
    "user_offline.ico": lambda: [person_icon((196, 201, 205), (128, 135, 142), None, n) for n in ICON_SIZES],
    "user_online.ico": lambda: [person_icon((112, 206, 104), (38, 138, 52), None, n) for n in ICON_SIZES],
    "user_self.ico": lambda: [person_icon((108, 164, 246), (34, 92, 196), None, n) for n in ICON_SIZES],
}

BITMAPS = {
    "login_skin.bmp": lambda: bmp_bytes(login_skin(), 32),
    "notifier_skin.bmp": lambda: bmp_bytes(notifier_skin(), 24),
    "popup_message.bmp": lambda: bmp_bytes(popup_skin("message"), 24),
    "popup_cancel.bmp": lambda: bmp_bytes(popup_skin("cancel"), 24),
    "popup_file.bmp": lambda: bmp_bytes(popup_skin("file"), 24),
    "checkboxes.bmp": lambda: bmp_bytes(checkbox_strip(), 4, CHECK_PALETTE),
}
# The same pictures for scaled displays: name_150.bmp and name_200.bmp.
for _scale in (1.5, 2):
    _suffix = f"_{int(_scale * 100)}.bmp"
    BITMAPS.update({
        "login_skin" + _suffix: lambda s=_scale: bmp_bytes(login_skin(s), 32),
        "notifier_skin" + _suffix: lambda s=_scale: bmp_bytes(notifier_skin(s), 24),
        "popup_message" + _suffix: lambda s=_scale: bmp_bytes(popup_skin("message", s), 24),
        "popup_cancel" + _suffix: lambda s=_scale: bmp_bytes(popup_skin("cancel", s), 24),
        "popup_file" + _suffix: lambda s=_scale: bmp_bytes(popup_skin("file", s), 24),
        "checkboxes" + _suffix: lambda s=_scale: bmp_bytes(checkbox_strip(s), 4, CHECK_PALETTE),
    })


def write(path, data):
    with open(path + ".tmp", "wb") as f:
        f.write(data)
    os.replace(path + ".tmp", path)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_art.py OUTPUT_DIR\n")
        return 2
    out = argv[1]
    os.makedirs(out, exist_ok=True)
    for name, make in ICONS.items():
        write(os.path.join(out, name), ico_bytes(make()))
    for name, make in BITMAPS.items():
        write(os.path.join(out, name), make())
    rate, frames = chime()
    path = os.path.join(out, "run.wav")
    with wave.open(path + ".tmp", "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(frames)
    os.replace(path + ".tmp", path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
