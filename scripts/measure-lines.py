#!/usr/bin/env python3
"""Measures the lines of an nprsnap picture (8-bit RGB or RGBA PNG, no extra packages) or SVG document.

  measure-lines.py inner PICTURE.png   black pixels more than 8 px inside the model's outline: how many, and
                                       how many separate pieces (8-connected) smaller than 40 px they form
  measure-lines.py width PICTURE.png   the black runs along the middle row and the middle column
  measure-lines.py strokes DOC.svg [LAYER]
                                       the strokes of one layer (default lines; every path of a document
                                       without that layer, as Freestyle's): how many, their length, reversals,
                                       doubled length, spurs, and how many are under 3 and 10 px
  measure-lines.py cover A.svg B.svg [LAYER]
                                       the share of each one's stroke length within 2 px of the other's

A stroke is one subpath. A reversal is a turn of more than 150 degrees between two segments of a stroke. A
stroke's length is doubled where it runs within 1 px of another stroke, away from its own ends (3 px). A spur
is an end that runs on 1.5 to 8 px past the last other stroke it crosses.
"""
import math
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zlib

BACKGROUND = (115, 128, 153)  # the viewer's clear colour, 0.45 0.5 0.6
INSIDE = 8
SMALL = 40


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path}: not a PNG")
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    width, height, depth, colour = header[:4]
    if depth != 8 or colour not in (2, 6):
        sys.exit(f"{path}: wants 8-bit RGB or RGBA")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def black(pixel):
    return max(pixel) < 64


def inner(width, height, rows):
    # The model: everything not background; worn away INSIDE times, alternately by the 4- and 8-neighbours
    # (an octagon, near enough a disc).
    mask = [[rows[y][x] != BACKGROUND for x in range(width)] for y in range(height)]
    for step in range(INSIDE):
        ring = [(-1, 0), (1, 0), (0, -1), (0, 1)] + ([(-1, -1), (-1, 1), (1, -1), (1, 1)] if step % 2 else [])
        mask = [[mask[y][x] and all(0 <= y + dy < height and 0 <= x + dx < width and mask[y + dy][x + dx]
                                    for dx, dy in ring) for x in range(width)] for y in range(height)]
    inside = [[mask[y][x] and black(rows[y][x]) for x in range(width)] for y in range(height)]
    seen = [[False] * width for _ in range(height)]
    pieces, small, pixels = 0, 0, 0
    for y in range(height):
        for x in range(width):
            if not inside[y][x] or seen[y][x]:
                continue
            size, stack = 0, [(x, y)]
            seen[y][x] = True
            while stack:
                px, py = stack.pop()
                size += 1
                for dy in (-1, 0, 1):
                    for dx in (-1, 0, 1):
                        qx, qy = px + dx, py + dy
                        if 0 <= qx < width and 0 <= qy < height and inside[qy][qx] and not seen[qy][qx]:
                            seen[qy][qx] = True
                            stack.append((qx, qy))
            pieces += 1
            small += size < SMALL
            pixels += size
    print(f"black pixels more than {INSIDE} px inside: {pixels}; pieces: {pieces}; smaller than {SMALL} px: {small}")


def runs(line):
    found, start = [], None
    for i, pixel in enumerate(line + [BACKGROUND]):
        if black(pixel) and start is None:
            start = i
        elif not black(pixel) and start is not None:
            found.append(i - start)
            start = None
    return found


REVERSAL = 150.0
NEAR = 1.0
END = 3.0
SPUR = (1.5, 8.0)
COVER = 2.0
STEP = 0.5


def read_strokes(path, layer):
    """The subpaths of the layer's paths (or of every path), each a list of points and whether closed."""
    root = ElementTree.parse(path).getroot()
    groups = [g for g in root.iter() if g.tag.endswith("}g") and g.get("id") == layer]
    paths = [p for g in groups for p in g.iter() if p.tag.endswith("}path")] if groups else \
        [p for p in root.iter() if p.tag.endswith("}path")]
    strokes = []
    for p in paths:
        points, closed = [], False
        for command, numbers in re.findall(r"([MLZmlz])([^MLZmlz]*)", p.get("d", "")):
            values = [float(v) for v in re.findall(r"-?[0-9.]+(?:e-?[0-9]+)?", numbers)]
            if command in "Mm":
                if len(points) > 1:
                    strokes.append((points, closed))
                points, closed = [], False
            if command in "Zz":
                closed = True
            points += list(zip(values[0::2], values[1::2]))
        if len(points) > 1:
            strokes.append((points, closed))
    return strokes


def segments_of(points, closed):
    pairs = list(zip(points, points[1:])) + ([(points[-1], points[0])] if closed else [])
    return [(a, b) for a, b in pairs if a != b]


class Grid:
    """Segments filed by the cells they cross, for finding those near a point."""

    def __init__(self, strokes, cell=4.0):
        self.cell, self.cells = cell, {}
        for index, (points, closed) in enumerate(strokes):
            along = 0.0
            for a, b in segments_of(points, closed):
                length = math.dist(a, b)
                x0, x1 = sorted((a[0], b[0]))
                y0, y1 = sorted((a[1], b[1]))
                for cx in range(int(x0 // cell) - 1, int(x1 // cell) + 2):
                    for cy in range(int(y0 // cell) - 1, int(y1 // cell) + 2):
                        self.cells.setdefault((cx, cy), []).append((index, a, b, along, length))
                along += length

    def near(self, p):
        return self.cells.get((int(p[0] // self.cell), int(p[1] // self.cell)), [])


def closest(p, a, b):
    dx, dy = b[0] - a[0], b[1] - a[1]
    length2 = dx * dx + dy * dy
    t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((p[0] - a[0]) * dx + (p[1] - a[1]) * dy) / length2))
    return math.dist(p, (a[0] + t * dx, a[1] + t * dy)), t


def samples(points, closed):
    """Points every STEP px along a stroke, with how far along it each lies."""
    along = 0.0
    for a, b in segments_of(points, closed):
        length = math.dist(a, b)
        n = max(1, int(length / STEP))
        for i in range(n):
            t = i / n
            yield (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t), along + length * t, length / n
        along += length


def stroke_length(points, closed):
    return sum(math.dist(a, b) for a, b in segments_of(points, closed))


def reversals(points, closed):
    segs = segments_of(points, closed)
    turns = list(zip(segs, segs[1:])) + ([(segs[-1], segs[0])] if closed and len(segs) > 2 else [])
    count = 0
    for (a, b), (c, d) in turns:
        u, v = (b[0] - a[0], b[1] - a[1]), (d[0] - c[0], d[1] - c[1])
        cosine = (u[0] * v[0] + u[1] * v[1]) / (math.hypot(*u) * math.hypot(*v))
        count += math.degrees(math.acos(max(-1.0, min(1.0, cosine)))) > REVERSAL
    return count


def doubled(strokes, grid, lengths):
    total = 0.0
    for index, (points, closed) in enumerate(strokes):
        for p, s, weight in samples(points, closed):
            if not closed and (s < END or s > lengths[index] - END):
                continue
            if any(other != index and closest(p, a, b)[0] <= NEAR for other, a, b, _, _ in grid.near(p)):
                total += weight
    return total


def crossing(a, b, c, d):
    """How far along a-b it crosses c-d, as a fraction, or None."""
    r, q = (b[0] - a[0], b[1] - a[1]), (d[0] - c[0], d[1] - c[1])
    den = r[0] * q[1] - r[1] * q[0]
    if den == 0:
        return None
    w = (c[0] - a[0], c[1] - a[1])
    t, u = (w[0] * q[1] - w[1] * q[0]) / den, (w[0] * r[1] - w[1] * r[0]) / den
    return t if 0 <= t <= 1 and 0 <= u <= 1 else None


def spurs(strokes, grid):
    count = 0
    for index, (points, closed) in enumerate(strokes):
        if closed:
            continue
        for inwards in (points, points[::-1]):
            segs = segments_of(inwards, False)  # from the end inwards, each pointing inwards
            walked, found = 0.0, None
            for i, (a, b) in enumerate(segs):
                length = math.dist(a, b)
                best = None
                for cx in range(int(min(a[0], b[0]) // grid.cell), int(max(a[0], b[0]) // grid.cell) + 1):
                    for cy in range(int(min(a[1], b[1]) // grid.cell), int(max(a[1], b[1]) // grid.cell) + 1):
                        for other, c, d, _, _ in grid.cells.get((cx, cy), []):
                            if other == index:
                                continue
                            t = crossing(a, b, c, d)
                            if t is not None and (best is None or t < best):
                                best = t
                if best is not None:
                    found = walked + best * length
                    break
                walked += length
                if walked > SPUR[1]:
                    break
            count += found is not None and SPUR[0] <= found <= SPUR[1]
    return count


def strokes_report(path, layer):
    strokes = read_strokes(path, layer)
    lengths = [stroke_length(p, c) for p, c in strokes]
    grid = Grid(strokes)
    total = sum(lengths)
    double = doubled(strokes, grid, lengths)
    print(f"strokes {len(strokes)}; length {total:.0f} px; reversals {sum(reversals(p, c) for p, c in strokes)}; "
          f"doubled {100 * double / max(total, 1e-9):.1f} %; spurs {spurs(strokes, grid)}; "
          f"under 3 px {sum(l < 3 for l in lengths)}; under 10 px {sum(l < 10 for l in lengths)}")


def covered(strokes, grid):
    total, near = 0.0, 0.0
    for points, closed in strokes:
        for p, _, weight in samples(points, closed):
            total += weight
            near += weight * any(closest(p, a, b)[0] <= COVER for cx in (-1, 0, 1) for cy in (-1, 0, 1)
                                 for _, a, b, _, _ in grid.cells.get((int(p[0] // grid.cell) + cx,
                                                                      int(p[1] // grid.cell) + cy), []))
    return near / max(total, 1e-9)


def cover_report(path_a, path_b, layer):
    a, b = read_strokes(path_a, layer), read_strokes(path_b, layer)
    print(f"{100 * covered(a, Grid(b)):.1f} % of the first within {COVER:g} px of the second; "
          f"{100 * covered(b, Grid(a)):.1f} % of the second within {COVER:g} px of the first")


def main():
    if len(sys.argv) >= 3 and sys.argv[1] == "strokes":
        return strokes_report(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else "lines")
    if len(sys.argv) >= 4 and sys.argv[1] == "cover":
        return cover_report(sys.argv[2], sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else "lines")
    if len(sys.argv) != 3 or sys.argv[1] not in ("inner", "width"):
        sys.exit(__doc__)
    width, height, rows = read_png(sys.argv[2])
    if sys.argv[1] == "inner":
        inner(width, height, rows)
    else:
        print("middle row black runs:", runs(rows[height // 2]))
        print("middle column black runs:", runs([rows[y][width // 2] for y in range(height)]))


if __name__ == "__main__":
    main()
