#!/usr/bin/env python3
"""Writes meshes made to cost a drawing program time, into a folder (none of them is kept in the repository).

  make-hostile-meshes.py FOLDER [SCALE]

  duplicates.obj   one triangle named 4,000,000 times over (SCALE 1): every face the same three corners
  overdraw.stl     1,000,000 triangles each covering the whole view, stacked a hair apart (binary STL)
  octagons.stl     a 300 x 300 grid of closed octagonal pyramids: 90,000 separate contour loops

SCALE (default 1) multiplies the counts, for quicker trials at 0.1.
"""
import os
import struct
import sys
from math import cos, pi, sin


def write_duplicates(path, faces):
    with open(path, "w") as f:
        f.write("v 0 0 0\nv 1 0 0\nv 0 1 0\n")
        line = "f 1 2 3\n"
        block = line * 10000
        for _ in range(faces // 10000):
            f.write(block)
        f.write(line * (faces % 10000))


def stl(path, triangles, count):
    with open(path, "wb") as f:
        f.write(b"\0" * 80 + struct.pack("<I", count))
        record = struct.Struct("<12fH")
        for a, b, c in triangles:
            f.write(record.pack(0, 0, 0, *a, *b, *c, 0))


def overdraw(count):
    for i in range(count):
        z = i * 1e-6
        yield (-1, -1, z), (1, -1, z), (0, 1, z)


def octagons(side):
    for row in range(side):
        for column in range(side):
            x0, y0 = column * 3.0, row * 3.0
            ring = [(x0 + cos(k * pi / 4), y0 + sin(k * pi / 4), 0.0) for k in range(8)]
            apex, centre = (x0, y0, 1.0), (x0, y0, 0.0)
            for k in range(8):
                a, b = ring[k], ring[(k + 1) % 8]
                yield a, b, apex
                yield b, a, centre


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    folder = sys.argv[1]
    scale = float(sys.argv[2]) if len(sys.argv) == 3 else 1.0
    os.makedirs(folder, exist_ok=True)
    write_duplicates(os.path.join(folder, "duplicates.obj"), int(4_000_000 * scale))
    n = int(1_000_000 * scale)
    stl(os.path.join(folder, "overdraw.stl"), overdraw(n), n)
    side = max(1, int(300 * scale ** 0.5))
    stl(os.path.join(folder, "octagons.stl"), octagons(side), 16 * side * side)


if __name__ == "__main__":
    main()
