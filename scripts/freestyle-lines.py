"""Draws a model's visible lines with Blender's Freestyle as an SVG, from nprsnap's camera, to measure against.

  blender -b --python scripts/freestyle-lines.py -- MODEL.poly OUT.svg [--yaw D] [--pitch D] [--distance D]
      [--creases DEGREES] [--size N] [--hidden]

MODEL is a .poly file (vertices joined as nprsnap joins them, by position); the camera is nprsnap's orbit
camera (target (0, 0.1, 0), 90 degrees of vertical field, near 0.01, far 10), the picture N x N pixels. The
line set takes silhouettes and borders, and with --creases the edges whose faces turn by DEGREES or more
(Freestyle's crease angle is the angle between the faces, 180 - DEGREES). Cycles renders one sample; only the
SVG exporter's file is kept. --hidden takes the hidden lines instead of the visible ones. Not part of CI.
"""
import math
import os
import sys

import bpy
from mathutils import Matrix, Vector

TARGET = (0.0, 0.1, 0.0)


def arguments():
    argv = sys.argv[sys.argv.index("--") + 1:]
    options = {"yaw": 0.0, "pitch": 0.0, "distance": 1.0, "creases": None, "size": 768, "hidden": False}
    paths = []
    i = 0
    while i < len(argv):
        name = argv[i]
        if name == "--hidden":
            options["hidden"] = True
        elif name.startswith("--"):
            options[name[2:]] = float(argv[i + 1]) if name != "--size" else int(argv[i + 1])
            i += 1
        else:
            paths.append(name)
        i += 1
    return paths[0], paths[1], options


def read_poly(path):
    tokens = open(path).read().split()
    vertices, faces = [], []
    i = 0
    while i < len(tokens):
        if tokens[i] == "v":
            vertices.append(tuple(float(t) for t in tokens[i + 1:i + 4]))
            i += 7
        elif tokens[i] == "f":
            faces.append(tuple(int(t) - 1 for t in tokens[i + 1:i + 4]))
            i += 4
        else:
            i += 1
    # Joined by position, as nprsnap's lines see the mesh.
    first, joined, remap = {}, [], []
    for v in vertices:
        key = tuple(0.0 if c == 0 else c for c in v)
        if key not in first:
            first[key] = len(joined)
            joined.append(v)
        remap.append(first[key])
    faces = [tuple(remap[c] for c in f) for f in faces]
    return joined, [f for f in faces if len(set(f)) == 3]


def orbit_camera(yaw, pitch, distance):
    p, y = math.radians(pitch), math.radians(yaw)
    direction = Vector((math.sin(y) * math.cos(p), math.sin(p), -math.cos(y) * math.cos(p)))
    eye = Vector(TARGET) + distance * direction
    up = Vector((-math.sin(p) * math.sin(y), math.cos(p), math.sin(p) * math.cos(y)))
    forward = (Vector(TARGET) - eye).normalized()
    right = forward.cross(up).normalized()
    up = right.cross(forward)
    # A Blender camera looks along its -Z with +Y up.
    m = Matrix.Identity(4)
    for row in range(3):
        m[row][0], m[row][1], m[row][2], m[row][3] = right[row], up[row], -forward[row], eye[row]
    return m


def main():
    model, output, o = arguments()
    bpy.ops.wm.read_factory_settings(use_empty=True)
    scene = bpy.context.scene
    vertices, faces = read_poly(model)
    mesh = bpy.data.meshes.new("model")
    mesh.from_pydata(vertices, [], faces)
    mesh.update()
    scene.collection.objects.link(bpy.data.objects.new("model", mesh))

    camera = bpy.data.cameras.new("camera")
    camera.sensor_fit = "VERTICAL"
    camera.angle = math.radians(90.0)
    camera.clip_start, camera.clip_end = 0.01, 10.0
    camera_object = bpy.data.objects.new("camera", camera)
    camera_object.matrix_world = orbit_camera(o["yaw"], o["pitch"], o["distance"])
    scene.collection.objects.link(camera_object)
    scene.camera = camera_object

    render = scene.render
    render.engine = "CYCLES"
    scene.cycles.samples = 1
    scene.cycles.use_denoising = False
    render.resolution_x = render.resolution_y = o["size"]
    render.resolution_percentage = 100
    render.use_freestyle = True
    settings = bpy.context.view_layer.freestyle_settings
    settings.mode = "EDITOR"
    if o["creases"] is not None:
        settings.crease_angle = math.radians(180.0 - o["creases"])
    lineset = settings.linesets[0] if settings.linesets else settings.linesets.new("lines")
    if lineset.linestyle is None:
        lineset.linestyle = bpy.data.linestyles.new("style")
    lineset.select_by_visibility = True
    lineset.visibility = "HIDDEN" if o["hidden"] else "VISIBLE"
    lineset.select_by_edge_types = True
    lineset.select_silhouette = True
    lineset.select_border = True
    lineset.select_crease = o["creases"] is not None

    bpy.ops.preferences.addon_enable(module="render_freestyle_svg")
    scene.svg_export.use_svg_export = True
    scene.svg_export.mode = "FRAME"
    base = os.path.splitext(os.path.abspath(output))[0]
    render.filepath = base
    bpy.ops.render.render(write_still=False)
    # The exporter names its file after the frame.
    written = base + "%04d.svg" % scene.frame_current
    os.replace(written, output)


main()
