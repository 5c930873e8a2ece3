#!/usr/bin/env python3
"""Draws the about picture and the application icons.

Standard library only and fully deterministic, so running it again gives the
same bytes. Run from anywhere: outputs land next to this script.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

NAVY = (10, 24, 58)
BLUE = (27, 58, 138)
TEAL = (18, 140, 136)
WHITE = (255, 255, 255)
CYAN = (127, 230, 230)
GOLD = (246, 200, 96)
SILVER = (214, 226, 236)


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sineDistance(px, py, x0, x1, yMid, amplitude, periods, phase, reach):
    """Distance from a point to a sine segment with rounded ends.

    Exact up to the polyline fit for distances below reach; anything farther
    only reports that it is at least reach away.
    """
    if abs(py - yMid) > amplitude + reach or px < x0 - reach or px > x1 + reach:
        return reach
    lo = max(x0, px - reach)
    hi = min(x1, px + reach)
    k = 2.0 * math.pi * periods / (x1 - x0)
    steps = 16
    best = reach
    prevX = lo
    prevY = yMid - amplitude * math.sin(k * (lo - x0) + phase)
    for i in range(1, steps + 1):
        x = lo + (hi - lo) * i / steps
        y = yMid - amplitude * math.sin(k * (x - x0) + phase)
        best = min(best, segmentDistance(px, py, prevX, prevY, x, y))
        prevX, prevY = x, y
    return best


def segmentDistance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    lengthSquared = dx * dx + dy * dy
    t = ((px - ax) * dx + (py - ay) * dy) / lengthSquared if lengthSquared > 0.0 else 0.0
    t = min(1.0, max(0.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def roundedSquareDistance(px, py, left, top, size, radius):
    """Signed distance to a rounded square; negative inside."""
    half = size / 2.0
    qx = abs(px - (left + half)) - (half - radius)
    qy = abs(py - (top + half)) - (half - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def supersample(width, height, samples, shade):
    """Averages shade(x, y) -> (r, g, b, a) over a grid inside each pixel.

    Colours are averaged premultiplied so that edges against transparency
    do not darken.
    """
    rows = []
    step = 1.0 / samples
    offsets = [(i + 0.5) * step for i in range(samples)]
    count = samples * samples
    for y in range(height):
        row = []
        for x in range(width):
            r = g = b = a = 0.0
            for oy in offsets:
                for ox in offsets:
                    cr, cg, cb, ca = shade(x + ox, y + oy)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a > 0.0:
                row.append((r / a, g / a, b / a, a / count))
            else:
                row.append((0.0, 0.0, 0.0, 0.0))
        rows.append(row)
    return rows


def over(base, colour, alpha):
    return mix(base, colour, alpha)


# About picture


ABOUT_WIDTH = 101
ABOUT_HEIGHT = 140


def aboutShade(x, y):
    w, h = ABOUT_WIDTH, ABOUT_HEIGHT
    colour = mix(NAVY, TEAL, (y / h) ** 1.3)
    glow = math.hypot((x - 50.5) / 44.0, (y - 44.0) / 40.0)
    colour = over(colour, (60, 130, 170), 0.35 * max(0.0, 1.0 - glow))

    # Faint horizon line under the fork.
    if abs(y - 88.5) < 0.5 and 8 < x < w - 8:
        colour = over(colour, CYAN, 0.25)

    # Tuning fork: two tines, a U-shaped yoke, a stem and a round foot.
    forkWidth = 2.2
    fork = min(
        segmentDistance(x, y, 42.0, 14.0, 42.0, 50.0),
        segmentDistance(x, y, 59.0, 14.0, 59.0, 50.0),
        abs(math.hypot(x - 50.5, y - 50.0) - 8.5) if y >= 50.0 else 99.0,
        segmentDistance(x, y, 50.5, 58.5, 50.5, 77.0),
    )
    foot = math.hypot(x - 50.5, y - 78.5) - 3.0
    if fork < forkWidth or foot < 0.0:
        shine = 0.25 if x < 50.5 else 0.0
        colour = mix(SILVER, WHITE, shine)

    # Vibration arcs beside the tines.
    for side in (-1, 1):
        cx = 50.5 + side * 2.0
        for radius in (17.0, 23.0):
            angle = math.atan2(y - 22.0, (x - cx) * side)
            if abs(angle) < 0.45 and abs(math.hypot(x - cx, y - 22.0) - radius) < 0.8:
                colour = over(colour, CYAN, 0.8 if radius < 20 else 0.5)

    # Three waves of different frequency and colour.
    waves = (
        (108.0, 7.0, 1.5, 0.0, GOLD, 1.0, 0.6),
        (114.0, 9.0, 2.5, 1.2, CYAN, 1.1, 0.8),
        (120.0, 6.0, 4.0, 2.4, WHITE, 1.3, 1.0),
    )
    for yMid, amp, periods, phase, waveColour, width, alpha in waves:
        if sineDistance(x, y, 10.0, w - 10.0, yMid, amp, periods, phase, width + 1.0) < width:
            colour = over(colour, waveColour, alpha)
    return colour + (1.0,)


def medianCut(colours, count):
    """Deterministic palette of at most count colours from {rgb: weight}."""
    boxes = [sorted(colours.items())]
    while len(boxes) < count:
        best = None
        for index, box in enumerate(boxes):
            if len(box) < 2:
                continue
            spans = [max(c[0][i] for c in box) - min(c[0][i] for c in box) for i in range(3)]
            span = max(spans)
            if best is None or span > best[0]:
                best = (span, index, spans.index(span))
        if best is None or best[0] == 0:
            break
        _, index, channel = best
        box = sorted(boxes[index], key=lambda c: (c[0][channel], c[0]))
        total = sum(weight for _, weight in box)
        running = 0
        cut = 1
        for i, (_, weight) in enumerate(box):
            running += weight
            if running * 2 >= total:
                cut = min(max(i + 1, 1), len(box) - 1)
                break
        boxes[index:index + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(weight for _, weight in box)
        palette.append(tuple(round(sum(c[i] * weight for c, weight in box) / total) for i in range(3)))
    return palette


def writeAboutPicture(path):
    rows = supersample(ABOUT_WIDTH, ABOUT_HEIGHT, 4, aboutShade)
    pixels = [[tuple(int(round(v)) for v in p[:3]) for p in row] for row in rows]
    weights = {}
    for row in pixels:
        for p in row:
            weights[p] = weights.get(p, 0) + 1
    palette = medianCut(weights, 256)
    palette += [(0, 0, 0)] * (256 - len(palette))

    nearest = {}
    for colour in weights:
        nearest[colour] = min(range(256), key=lambda i: (sum((colour[c] - palette[i][c]) ** 2 for c in range(3)), i))

    stride = (ABOUT_WIDTH + 3) // 4 * 4
    image = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytes(nearest[p] for p in row)
        image += line + bytes(stride - len(line))

    colourTable = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(colourTable)
    info = struct.pack("<IiiHHIIiiII", 40, ABOUT_WIDTH, ABOUT_HEIGHT, 1, 8, 0, len(image), 2835, 2835, 256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    with open(path, "wb") as out:
        out.write(header + info + colourTable + image)


# Application icon


def iconShader(size):
    # Whole-pixel margin keeps the square's straight edges crisp.
    margin = float(max(1, size // 16))
    side = size - 2.0 * margin
    radius = side * 0.2
    showSecondWave = size >= 32
    mainWidth = max(0.8, side * 0.045)
    secondWidth = max(0.6, side * 0.025)
    x0 = margin + side * 0.16
    x1 = margin + side * 0.84
    mid = size / 2.0

    def shade(x, y):
        edge = roundedSquareDistance(x, y, margin, margin, side, radius)
        if edge > 0.0:
            return (0.0, 0.0, 0.0, 0.0)
        t = ((x - margin) + (y - margin)) / (2.0 * side)
        colour = mix(BLUE, TEAL, t)
        # Soft light from the top edge gives the square some depth.
        colour = over(colour, WHITE, 0.12 * max(0.0, 1.0 - (y - margin) / (side * 0.5)))
        if showSecondWave and sineDistance(x, y, x0, x1, mid, side * 0.12, 2.0, 0.0, secondWidth + 1.0) < secondWidth:
            colour = over(colour, CYAN, 0.85)
        if sineDistance(x, y, x0, x1, mid, side * 0.2, 1.0, 0.0, mainWidth + 1.0) < mainWidth:
            colour = WHITE
        return colour + (1.0,)

    return shade


def pngChunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def writePng(path, rows):
    height = len(rows)
    width = len(rows[0])
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes(int(round(min(255.0, max(0.0, v)))) for v in (r, g, b, a * 255.0))
    data = b"\x89PNG\r\n\x1a\n"
    data += pngChunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    data += pngChunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += pngChunk(b"IEND", b"")
    with open(path, "wb") as out:
        out.write(data)


def writeIcons():
    for size in (16, 22, 24, 32, 48, 64, 128, 256):
        folder = os.path.join(HERE, "icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        samples = 8 if size <= 48 else 4 if size <= 128 else 3
        writePng(os.path.join(folder, "orvo.png"), supersample(size, size, samples, iconShader(size)))


if __name__ == "__main__":
    writeAboutPicture(os.path.join(HERE, "about-picture.bmp"))
    writeIcons()
