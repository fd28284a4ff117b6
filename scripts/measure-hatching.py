#!/usr/bin/env python3
"""Measures the hatching layer of an nprsnap SVG document as a pen-plotter user would (needs rsvg-convert).

  measure-hatching.py strokes PLOT.svg
      the hatching's strokes: how many, the share shorter than 3 px, their mean length; the pen-up travel in
      file order against a greedy nearest-end order of the same strokes (from the origin, each next stroke
      the one with the nearest end, turned round where that end is its last); the same for the lines layer
  measure-hatching.py ink PLOT.svg TONES.svg
      the share of each tone's area that the hatching inks (PLOT's hatching layer drawn alone by rsvg-convert,
      the tones read from TONES.svg: the same view without --hatching), and the inked pixels outside the model
  measure-hatching.py circles PLOT.svg RADIUS [YAW PITCH DISTANCE]
      for a cylinder of RADIUS about the y axis (measure-hatching.py cylinder), the share of the hatching's
      length within 20 degrees of the circles around it, seen from nprsnap's camera at those angles
  measure-hatching.py cylinder OUT.poly [RADIUS HEIGHT]
      writes that cylinder as a model file: 256 segments round, 64 rings, closed, counter-clockwise
"""
import importlib.util
import math
import os
import re
import signal
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("measure_lines", os.path.join(HERE, "measure-lines.py"))
measure_lines = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(measure_lines)

# The renderer's tone colours as an 8-bit picture holds them, bright first; and the viewer's background.
TONES = [(255, 255, 255), (217, 217, 128), (166, 166, 38), (128, 128, 0)]
TONE_NAMES = ["bright", "middle", "dark", "turned away"]
BACKGROUND = measure_lines.BACKGROUND
SHORT = 3.0
CIRCLE_DEGREES = 20.0


def layers(svg):
    """Each top-level group's id and text."""
    return {m.group(1): m.group(2) for m in re.finditer(r'<g id="(\w+)"[^>]*>(.*?)</g>', svg, re.S)}


def polylines(layer_text):
    """The layer's paths as lists of points, one list per subpath (M starts one)."""
    lines = []
    for d in re.findall(r'\bd="([^"]*)"', layer_text):
        current = None
        tokens = re.findall(r"[MLZCmlzc]|-?[0-9.]+(?:e-?[0-9]+)?", d)
        numbers = []
        for token in tokens + ["M"]:
            if token in "MLZCmlzc":
                for i in range(0, len(numbers) - 1, 2):
                    current.append((numbers[i], numbers[i + 1]))
                numbers = []
                if token == "M":
                    if current and len(current) > 1:
                        lines.append(current)
                    current = []
                elif token == "Z" and current:
                    current.append(current[0])
            else:
                numbers.append(float(token))
    return lines


def length(line):
    return sum(math.dist(a, b) for a, b in zip(line, line[1:]))


def travel_in_order(lines):
    pen, total = (0.0, 0.0), 0.0
    for line in lines:
        total += math.dist(pen, line[0])
        pen = line[-1]
    return total


def greedy_travel(lines, cell=16.0):
    """Pen-up travel of the greedy nearest-end order from the origin, found with a grid of the ends."""
    grid = {}

    def key(p):
        return (int(p[0] // cell), int(p[1] // cell))

    for i, line in enumerate(lines):
        for end in (0, -1):
            grid.setdefault(key(line[end]), set()).add(i)
    left, pen, total = set(range(len(lines))), (0.0, 0.0), 0.0
    while left:
        cx, cy = key(pen)
        best, ring = None, 0
        while best is None or ring * cell <= best[0] + cell:
            for gx in range(cx - ring, cx + ring + 1):
                for gy in range(cy - ring, cy + ring + 1):
                    if max(abs(gx - cx), abs(gy - cy)) != ring:
                        continue
                    for i in grid.get((gx, gy), ()):
                        for end in (0, -1):
                            d = math.dist(pen, lines[i][end])
                            if best is None or d < best[0]:
                                best = (d, i, end)
            ring += 1
        d, i, end = best
        total += d
        left.discard(i)
        for e in (0, -1):
            grid[key(lines[i][e])].discard(i)
        pen = lines[i][-1] if end == 0 else lines[i][0]
    return total


def strokes(path):
    svg = open(path).read()
    found = layers(svg)
    for name in ("hatching", "lines"):
        if name not in found:
            continue
        lines = polylines(found[name])
        if not lines:
            print(f"{name}: no strokes")
            continue
        lengths = [length(line) for line in lines]
        short = sum(1 for x in lengths if x < SHORT)
        in_order, greedy = travel_in_order(lines), greedy_travel(lines)
        print(f"{name}: {len(lines)} strokes, {short} shorter than {SHORT:g} px ({100.0 * short / len(lines):.2f} %), "
              f"mean {sum(lengths) / len(lines):.1f} px, total {sum(lengths):.0f} px; pen-up travel {in_order:.0f} px "
              f"in file order, {greedy:.0f} px greedy ({in_order / max(greedy, 1e-9):.2f}x)")


def rasterise(svg_text):
    with tempfile.TemporaryDirectory() as folder:
        source, drawn = os.path.join(folder, "in.svg"), os.path.join(folder, "out.png")
        with open(source, "w") as f:
            f.write(svg_text)
        subprocess.run(["rsvg-convert", "-b", "white", source, "-o", drawn], check=True)
        return measure_lines.read_png(drawn)


def only_layer(svg, name):
    """The document with every top-level group but name's emptied."""
    return re.sub(r'(<g id="(\w+)"[^>]*>)(.*?)(</g>)',
                  lambda m: m.group(0) if m.group(2) == name else m.group(1) + m.group(4), svg, flags=re.S)


def tone_of(pixel):
    for i, tone in enumerate(TONES):
        if max(abs(a - b) for a, b in zip(pixel, tone)) <= 16:
            return i
    return -1 if max(abs(a - b) for a, b in zip(pixel, BACKGROUND)) <= 16 else None


def ink(plot_path, tones_path):
    width, height, hatch = rasterise(only_layer(open(plot_path).read(), "hatching"))
    tw, th, tones = rasterise(open(tones_path).read())
    if (tw, th) != (width, height):
        sys.exit("the two documents differ in size")
    tone = [[tone_of(tones[y][x]) for x in range(width)] for y in range(height)]
    area, inked = [0] * 4, [0.0] * 4
    outside = 0
    for y in range(height):
        for x in range(width):
            darkness = 1.0 - sum(hatch[y][x]) / (3 * 255.0)
            near = {tone[v][u] for v in range(max(0, y - 1), min(height, y + 2))
                    for u in range(max(0, x - 1), min(width, x + 2))}
            if near == {-1} and darkness > 0.25:
                outside += 1
            t = tone[y][x]
            # Pixels along a region's edge hold a blend of two colours: only the inner ones count.
            if t is not None and t >= 0 and near == {t}:
                area[t] += 1
                inked[t] += darkness
    for t in range(4):
        share = 100.0 * inked[t] / area[t] if area[t] else 0.0
        print(f"{TONE_NAMES[t]}: {share:.1f} % inked over {area[t]} px")
    print(f"inked pixels outside the model (more than a pixel from it): {outside}")


def camera(yaw, pitch, distance):
    """nprsnap's orbit camera: the eye and its right, up and forward axes."""
    p, y = math.radians(pitch), math.radians(yaw)
    target = (0.0, 0.1, 0.0)
    eye = tuple(t + distance * o for t, o in zip(target, (math.sin(y) * math.cos(p), math.sin(p),
                                                          -math.cos(y) * math.cos(p))))
    up = (-math.sin(p) * math.sin(y), math.cos(p), math.sin(p) * math.cos(y))
    f = [t - e for t, e in zip(target, eye)]
    n = math.sqrt(sum(c * c for c in f))
    f = [c / n for c in f]
    s = [f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2], f[0] * up[1] - f[1] * up[0]]
    n = math.sqrt(sum(c * c for c in s))
    s = [c / n for c in s]
    u = [s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2], s[0] * f[1] - s[1] * f[0]]
    return eye, s, u, f


def circles(path, radius, yaw, pitch, distance):
    svg = open(path).read()
    size = re.search(r'width="(\d+)" height="(\d+)"', svg)
    width, height = int(size.group(1)), int(size.group(2))
    eye, s, u, f = camera(yaw, pitch, distance)

    def project(p):
        d = [a - b for a, b in zip(p, eye)]
        x, y, z = (sum(a * b for a, b in zip(d, axis)) for axis in (s, u, f))
        # gluPerspective(90, 1, ...): one unit across at one unit ahead; y down in the picture.
        return ((x / z + 1.0) * 0.5 * width, (1.0 - y / z) * 0.5 * height)

    along = total = 0.0
    for line in polylines(layers(svg).get("hatching", "")):
        for a, b in zip(line, line[1:]):
            piece = math.dist(a, b)
            mx, my = (a[0] + b[0]) / 2, (a[1] + b[1]) / 2
            ex, ey = 2.0 * mx / width - 1.0, 1.0 - 2.0 * my / height
            ray = [ex * si + ey * ui + fi for si, ui, fi in zip(s, u, f)]
            # The nearer crossing of the ray with x^2 + z^2 = radius^2.
            qa = ray[0] ** 2 + ray[2] ** 2
            qb = 2.0 * (eye[0] * ray[0] + eye[2] * ray[2])
            qc = eye[0] ** 2 + eye[2] ** 2 - radius ** 2
            disc = qb * qb - 4 * qa * qc
            total += piece
            if qa == 0.0 or disc < 0.0:
                continue
            t = (-qb - math.sqrt(disc)) / (2 * qa)
            hit = [e + t * r for e, r in zip(eye, ray)]
            step = 1e-4
            there = project([hit[0] - step * hit[2], hit[1], hit[2] + step * hit[0]])
            here = project(hit)
            cx, cy = there[0] - here[0], there[1] - here[1]
            angle = abs(math.degrees(math.atan2(cx * (b[1] - a[1]) - cy * (b[0] - a[0]),
                                                cx * (b[0] - a[0]) + cy * (b[1] - a[1]))))
            if min(angle, 180.0 - angle) <= CIRCLE_DEGREES:
                along += piece
    print(f"{100.0 * along / max(total, 1e-9):.1f} % of {total:.0f} px of hatching within "
          f"{CIRCLE_DEGREES:g} degrees of the circles")


def cylinder(path, radius, height, around=256, rings=64):
    vertices, faces = [], []
    for j in range(rings + 1):
        y = -height / 2 + height * j / rings
        for i in range(around):
            a = 2 * math.pi * i / around
            vertices.append((radius * math.cos(a), y, radius * math.sin(a)))
    for j in range(rings):
        for i in range(around):
            a, b = j * around + i, j * around + (i + 1) % around
            c, d = a + around, b + around
            # Counter-clockwise from outside: the angle grows from x towards z, the outside is away from the axis.
            faces += [(a, c, b), (b, c, d)]
    for end, y in ((0, -height / 2), (rings, height / 2)):
        centre = len(vertices)
        vertices.append((0.0, y, 0.0))
        for i in range(around):
            a, b = end * around + i, end * around + (i + 1) % around
            faces.append((centre, a, b) if end == 0 else (centre, b, a))
    with open(path, "w") as f:
        f.write(f"vertices: {len(vertices)}\nfaces: {len(faces)}\n")
        for v in vertices:
            f.write("v {:.6f} {:.6f} {:.6f} 0 0 0\n".format(*v))
        for a, b, c in faces:
            f.write(f"f {a + 1} {b + 1} {c + 1}\n")


def main(argv):
    if len(argv) >= 3 and argv[1] == "strokes":
        strokes(argv[2])
    elif len(argv) == 4 and argv[1] == "ink":
        ink(argv[2], argv[3])
    elif len(argv) in (4, 7) and argv[1] == "circles":
        view = [float(x) for x in argv[4:7]] if len(argv) == 7 else [0.0, 0.0, 1.0]
        circles(argv[2], float(argv[3]), *view)
    elif len(argv) in (3, 5) and argv[1] == "cylinder":
        cylinder(argv[2], *([float(x) for x in argv[3:5]] if len(argv) == 5 else [0.3, 0.9]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    # A reader that stops early (| head) ends the script quietly.
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    main(sys.argv)
