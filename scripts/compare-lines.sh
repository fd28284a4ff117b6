#!/usr/bin/env bash
# Measures nprsnap's lines layer beside Blender's Freestyle on the same views (not part of CI):
#   scripts/compare-lines.sh [NPRSNAP] [FOLDER]
# The meshes: the bumpy sphere of tools/make_bumpy_sphere, the bunny scan and the fandisk of Debian's
# libcgal-demo (scripts/cgal-mesh.sh), and the CAD part of tools/data/cad-part.scad (openscad). Each is drawn
# at 768x768 with --lines contour and --creases, its lines layer measured by scripts/measure-lines.py
# strokes, and Freestyle's SVG of the same camera (scripts/freestyle-lines.py, blender -b) beside it; then
# the share of each within 2 px of the other.
set -euo pipefail
cd "$(dirname "$0")/.."
nprsnap=${1:-build/nprsnap}
folder=${2:-$(mktemp -d /tmp/compare-lines.XXXXXX)}
mkdir -p "$folder"
[ -f "$folder/bumpy.poly" ] || build/tools/make_bumpy_sphere "$folder/bumpy.poly"
for name in bunny00 fandisk; do
  [ -f "$folder/$name.poly" ] ||
    build/tools/mesh2poly --unit --winding ccw "$(scripts/cgal-mesh.sh "$name" "$folder")" "$folder/$name.poly"
done
if [ ! -f "$folder/cad-part.poly" ]; then
  openscad -q -o "$folder/cad-part.stl" tools/data/cad-part.scad
  build/tools/mesh2poly --unit --winding ccw --up z "$folder/cad-part.stl" "$folder/cad-part.poly"
fi
# mesh, yaw, pitch, distance, creases
views=("bumpy 0 0 1 45" "bunny00 30 20 0.8 45" "cad-part 30 35 0.8 30" "fandisk 120 30 1.0 30")
for view in "${views[@]}"; do
  read -r mesh yaw pitch distance creases <<<"$view"
  camera=(--yaw "$yaw" --pitch "$pitch" --distance "$distance" --creases "$creases")
  "$nprsnap" "$folder/$mesh.poly" "${camera[@]}" --lines contour --layers lines -o "$folder/$mesh.svg"
  [ -f "$folder/$mesh-freestyle.svg" ] || blender -b --python scripts/freestyle-lines.py -- "$folder/$mesh.poly" \
    "$folder/$mesh-freestyle.svg" "${camera[@]}" >/dev/null 2>&1
  echo "$mesh (yaw $yaw, pitch $pitch, distance $distance, creases $creases)"
  echo "  nprsnap:   $(scripts/measure-lines.py strokes "$folder/$mesh.svg")"
  echo "  Freestyle: $(scripts/measure-lines.py strokes "$folder/$mesh-freestyle.svg")"
  echo "  $(scripts/measure-lines.py cover "$folder/$mesh.svg" "$folder/$mesh-freestyle.svg")"
done
