#!/usr/bin/env python3
"""Reads back what make_art.py wrote and checks what the windows rely on: sizes, colour depths, key colours
that cut out exactly the outside of a skin, icon images and masks, and the alert sound's format.

usage: check_art.py ART_DIR        (exit status 1 and a list of faults when something is wrong)
"""

import os
import struct
import sys
import wave

faults = []


def fault(name, text):
    faults.append(f"{name}: {text}")


def read_bmp(path):
    """(width, height, bits, rows of (r, g, b) top first)."""
    data = open(path, "rb").read()
    magic, _, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    size, w, h, planes, bits, compression, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if magic != b"BM" or size != 40 or planes != 1 or compression != 0:
        raise ValueError("not an uncompressed bitmap with a 40-byte header")
    palette = []
    if bits <= 8:
        n = used or (1 << bits)
        for i in range(n):
            b, g, r, _ = data[54 + 4 * i : 58 + 4 * i]
            palette.append((r, g, b))
    stride = ((w * bits + 31) // 32) * 4
    rows = []
    for y in range(abs(h)):
        line = data[offset + y * stride : offset + (y + 1) * stride]
        row = []
        for x in range(w):
            if bits == 32 or bits == 24:
                b, g, r = line[x * bits // 8 : x * bits // 8 + 3]
                row.append((r, g, b))
            elif bits == 4:
                v = line[x // 2]
                row.append(palette[(v >> 4) if x % 2 == 0 else (v & 15)])
        rows.append(row)
    if h > 0:
        rows.reverse()
    return w, abs(h), bits, rows


def read_ico(path):
    """[(size, bits, rgba rows top first, transparent-by-mask rows)]."""
    data = open(path, "rb").read()
    _, kind, count = struct.unpack_from("<HHH", data, 0)
    if kind != 1:
        raise ValueError("not an icon file")
    images = []
    for i in range(count):
        w, h, _, _, _, bits, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        _, bw, bh, _, bbits, _, _, _, _, _, _ = struct.unpack_from("<IiiHHIIiiII", data, offset)
        if (bw, bh, bbits) != (w, 2 * h, bits) or bits != 32:
            raise ValueError(f"image {i}: header says {bw} x {bh} at {bbits} bits")
        xor = offset + 40
        rows = []
        for y in range(h):
            p = xor + y * w * 4
            rows.append([tuple(data[p + 4 * x + k] for k in (2, 1, 0, 3)) for x in range(w)])
        mask_at = xor + w * h * 4
        stride = ((w + 31) // 32) * 4
        masks = []
        for y in range(h):
            line = data[mask_at + y * stride : mask_at + (y + 1) * stride]
            masks.append([bool(line[x // 8] & (0x80 >> (x % 8))) for x in range(w)])
        if mask_at + h * stride > offset + length:
            raise ValueError(f"image {i}: shorter than its masks")
        rows.reverse()
        masks.reverse()
        images.append((w, bits, rows, masks))
    return images


def keyed_outside(rows, key):
    """Key-coloured pixels reached from the border through key-coloured pixels."""
    h, w = len(rows), len(rows[0])
    seen = set()
    todo = [(x, y) for x in range(w) for y in (0, h - 1)] + [(x, y) for y in range(h) for x in (0, w - 1)]
    while todo:
        x, y = todo.pop()
        if (x, y) in seen or not (0 <= x < w and 0 <= y < h) or rows[y][x] != key:
            continue
        seen.add((x, y))
        todo += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
    return seen


def check_keyed_skin(name, rows, key):
    h, w = len(rows), len(rows[0])
    for x, y in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        if rows[y][x] != key:
            fault(name, f"corner {x},{y} is {rows[y][x]}, not the key colour {key}")
    outside = keyed_outside(rows, key)
    holes = sum(1 for y in range(h) for x in range(w) if rows[y][x] == key and (x, y) not in outside)
    if holes:
        fault(name, f"{holes} pixels of the key colour inside the window would show as holes")
    if len(outside) > 0.05 * w * h:
        fault(name, f"{len(outside)} of {w * h} pixels are cut away; the window should keep its full size")


def mean_colour(rows):
    n = sum(len(r) for r in rows)
    return tuple(sum(p[k] for r in rows for p in r) / n for k in range(3))


def check_bitmaps(d):
    expected = {
        "login_skin.bmp": (243, 270, 32),
        "notifier_skin.bmp": (200, 147, 24),
        "popup_message.bmp": (200, 97, 24),
        "popup_cancel.bmp": (200, 97, 24),
        "popup_file.bmp": (200, 97, 24),
        "checkboxes.bmp": (128, 16, 4),
    }
    # Each picture at 150 and 200 % as well, at exactly the scaled size (halves rounded up).
    for name, (ew, eh, ebits) in list(expected.items()):
        for percent in (150, 200):
            sized = name.replace(".bmp", f"_{percent}.bmp")
            expected[sized] = ((ew * percent + 50) // 100, (eh * percent + 50) // 100, ebits)
    images = {}
    for name, (ew, eh, ebits) in expected.items():
        try:
            w, h, bits, rows = read_bmp(os.path.join(d, name))
        except (OSError, ValueError, struct.error) as e:
            fault(name, str(e))
            continue
        if (w, h, bits) != (ew, eh, ebits):
            fault(name, f"{w} x {h} at {bits} bits, expected {ew} x {eh} at {ebits} bits")
            continue
        images[name] = rows

    for suffix in ("", "_150", "_200"):
        if f"login_skin{suffix}.bmp" in images:
            check_keyed_skin(f"login_skin{suffix}.bmp", images[f"login_skin{suffix}.bmp"], (0, 255, 0))
        if f"notifier_skin{suffix}.bmp" in images:
            check_keyed_skin(f"notifier_skin{suffix}.bmp", images[f"notifier_skin{suffix}.bmp"], (255, 255, 255))

    popups = [n for n in ("popup_message.bmp", "popup_cancel.bmp", "popup_file.bmp") if n in images]
    for i, a in enumerate(popups):
        for b in popups[i + 1 :]:
            ca, cb = mean_colour(images[a]), mean_colour(images[b])
            if sum(abs(x - y) for x, y in zip(ca, cb)) < 20:
                fault(a, f"hardly distinguishable from {b}")

    rows = images.get("checkboxes.bmp")
    if rows:
        cells = [[row[16 * c : 16 * c + 16] for row in rows] for c in range(8)]
        magenta = (255, 0, 255)
        for c, cell in enumerate(cells):
            if cell[0][0] != magenta or cell[15][15] != magenta:
                fault("checkboxes.bmp", f"cell {c} has no transparent magenta around it")
            drawn = [(x, y) for y in range(16) for x in range(16) if cell[y][x] != magenta]
            if not drawn or max(max(x, y) for x, y in drawn) > 14:
                fault("checkboxes.bmp", f"cell {c} is empty or reaches outside the 15 x 15 box")
        for c in range(8):
            for e in range(c + 1, 8):
                if cells[c] == cells[e]:
                    fault("checkboxes.bmp", f"cells {c} and {e} are the same picture")


def check_icons(d):
    singles = [
        "mainframe.ico", "close_active.ico", "close_idle.ico", "attach.ico", "user_away.ico", "user_blocked.ico",
        "chat_list.ico", "user_offline.ico", "user_online.ico", "user_self.ico",
    ]
    sizes = {name: [32, 48, 64] for name in singles}
    sizes["dravelon_large.ico"] = [48, 32, 16, 64, 96]
    pictures = {}
    for name, want in sizes.items():
        try:
            images = read_ico(os.path.join(d, name))
        except (OSError, ValueError, struct.error) as e:
            fault(name, str(e))
            continue
        got = [w for w, _, _, _ in images]
        if sorted(got) != sorted(want):
            fault(name, f"image sizes {got}, expected {want}")
        for w, _, rows, masks in images:
            wrong = sum(1 for y in range(w) for x in range(w) if masks[y][x] != (rows[y][x][3] < 128))
            if wrong:
                fault(name, f"{w} x {w}: {wrong} mask bits disagree with the alpha channel")
            opaque = sum(1 for y in range(w) for x in range(w) if not masks[y][x])
            if opaque < w * w // 8:
                fault(name, f"{w} x {w}: only {opaque} visible pixels")
            if w == 32:
                pictures[name] = rows
    names = sorted(pictures)
    for i, a in enumerate(names):
        for b in names[i + 1 :]:
            if a == "dravelon_large.ico" or b == "dravelon_large.ico":
                continue
            diff = sum(
                abs(p[k] * p[3] - q[k] * q[3]) / 255
                for ra, rb in zip(pictures[a], pictures[b])
                for p, q in zip(ra, rb)
                for k in range(3)
            )
            if diff / (32 * 32 * 3) < 6:
                fault(a, f"looks nearly the same as {b}")


def check_sound(d):
    try:
        with wave.open(os.path.join(d, "run.wav"), "rb") as w:
            channels, width, rate, frames = w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes()
            data = w.readframes(frames)
    except (OSError, wave.Error, EOFError) as e:
        fault("run.wav", str(e))
        return
    if (channels, width, rate) != (1, 2, 22050):
        fault("run.wav", f"{channels} channels, {8 * width} bits, {rate} Hz; expected mono 16-bit 22050 Hz")
        return
    samples = struct.unpack(f"<{frames}h", data)
    if not 0.3 <= frames / rate <= 0.5:
        fault("run.wav", f"lasts {frames / rate:.2f} s")
    peak = max(abs(s) for s in samples)
    if peak >= 32767 or peak < 8000:
        fault("run.wav", f"peak {peak}: clipped or too quiet")
    tail = max(abs(s) for s in samples[-rate // 100 :])
    if tail > 0.05 * peak:
        fault("run.wav", "does not fade out; it would end with a click")
    if abs(samples[0]) > 0.05 * peak:
        fault("run.wav", "starts with a click")


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: check_art.py ART_DIR\n")
        return 2
    check_bitmaps(argv[1])
    check_icons(argv[1])
    check_sound(argv[1])
    for f in faults:
        print(f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
