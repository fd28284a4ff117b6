#!/usr/bin/env python3
"""Measures the lines of an nprsnap picture (8-bit RGB or RGBA PNG, no extra packages).

  measure-lines.py inner PICTURE.png   black pixels more than 8 px inside the model's outline: how many, and
                                       how many separate pieces (8-connected) smaller than 40 px they form
  measure-lines.py width PICTURE.png   the black runs along the middle row and the middle column
"""
import struct
import sys
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


def main():
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
