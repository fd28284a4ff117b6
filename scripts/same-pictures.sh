#!/usr/bin/env bash
# Draws many pictures with nprsnap built from a git revision and with the working tree's, and compares them
# byte for byte (cmp): for a change to how nprsnap draws that must not move a pixel. Not part of CI.
#   scripts/same-pictures.sh [REVISION]     (default: where this branch left main)
# Builds both into build-same/ (Release), writes the meshes there once, and runs from the repository root.
# The cases: every shipped model, the test models, a smooth sphere of 40,000 faces, bumpy spheres of 200,000
# and 2,000,000 faces, an open cup of 19,200 (the larger ones leave out hidden faces at 768x768, the models of
# fewer faces than a 64th of the pixels do not), the bunny and the cup seen from inside, views near and far,
# through the near plane;
# tones, hatching fixed to the view and to the surface, creases, samples, outline widths, backgrounds,
# picture sizes, lights, reversed winding, --lines contour, turntables and SVG documents. Prints each case
# that differs (its pictures kept in build-same/differ/) and the count; exit status 1 when any differs.
set -euo pipefail
cd "$(dirname "$0")/.."
revision=${1:-$(git merge-base HEAD main)}
work=build-same
mkdir -p "$work"
reference="$work/reference-$(git rev-parse --short "$revision")"
if [ ! -x "$reference/build/nprsnap" ]; then
  rm -rf "$reference"
  mkdir -p "$reference"
  git archive "$revision" | tar -x -C "$reference"
  # The revision's own build script, which builds the tree it lies in.
  "$reference/scripts/build.sh" "$reference/build" -DCMAKE_BUILD_TYPE=Release -DNPRVIEW_TESTS=OFF \
    -DNPRVIEW_BENCH=OFF >/dev/null
fi
scripts/build.sh "$work/current" -DCMAKE_BUILD_TYPE=Release -DNPRVIEW_TESTS=OFF -DNPRVIEW_BENCH=OFF >/dev/null
old="$reference/build/nprsnap"
new="$work/current/nprsnap"
# Each build must be of its own tree.
for pair in "$reference/build:$(realpath "$reference")" "$work/current:$PWD"; do
  grep -qxF "CMAKE_HOME_DIRECTORY:INTERNAL=${pair#*:}" "${pair%%:*}/CMakeCache.txt" ||
    { echo "same-pictures: ${pair%%:*} is not a build of ${pair#*:}" >&2; exit 1; }
done
tools="$work/current/tools"

meshes="$work/meshes"
mkdir -p "$meshes"
[ -f "$meshes/sphere.ply" ] || "$tools/make_sphere_ply" 40000 "$meshes/sphere.ply"
[ -f "$meshes/bumpy.ply" ] || "$tools/make_sphere_ply" 200000 "$meshes/bumpy.ply" 0.06
[ -f "$meshes/bumpy-2m.ply" ] || "$tools/make_sphere_ply" 2000000 "$meshes/bumpy-2m.ply" 0.04
# An open cup of 19,200 faces: the lower two thirds of a rippled sphere, its inside in view from above.
if [ ! -f "$meshes/cup.poly" ]; then
  awk 'BEGIN { slices = 240; stacks = 40; pi = atan2(0, -1)
         for (s = 0; s <= stacks; ++s) for (i = 0; i < slices; ++i) {
           t = pi / 3 + (2 * pi / 3) * s / stacks; p = 2 * pi * i / slices; r = 0.5 * (1 + 0.05 * sin(7 * p) * sin(5 * t))
           v[++n] = sprintf("v %.6f %.6f %.6f 0 1 0", r * sin(t) * sin(p), r * cos(t), r * sin(t) * cos(p)) }
         for (s = 0; s < stacks; ++s) for (i = 0; i < slices; ++i) {
           a = s * slices + i + 1; b = s * slices + (i + 1) % slices + 1
           f[++m] = sprintf("f %d %d %d", a, a + slices, b + slices); f[++m] = sprintf("f %d %d %d", a, b + slices, b) }
         print "vertices: " n; print "faces: " m
         for (k = 1; k <= n; ++k) print v[k]; for (k = 1; k <= m; ++k) print f[k] }' >"$meshes/cup.poly"
fi

options=(
  ""
  "--hatching"
  "--hatching --hatching-space object"
  "--creases 30"
  "--creases 0 --hatching"
  "--samples 2"
  "--samples 3 --outline 2"
  "--outline 1"
  "--outline 12"
  "--outline 40 --samples 2"
  "--background #ffffff"
  "--background transparent --samples 2"
  "--lines contour"
  "--lines contour --creases 40 --hatching"
  "--reversed"
  "--size 301x203"
  "--size 1000x37 --hatching"
  "--light-yaw -60 --light-pitch -10"
  "--light-yaw 180 --light-pitch 80 --hatching --hatching-space object --samples 2"
)
# yaw, pitch, distance: the start-up view, around, above and below, near (inside the larger models at 0.1
# and 0.3), through the near plane (0.02), far.
views=("0 0 1" "30 20 1" "140 35 1.2" "-60 -45 0.7" "200 70 2.5" "10 5 0.3" "0 0 0.1" "90 -80 4" "45 10 0.02"
  "300 -20 0.55")

out="$work/pictures"
rm -rf "$out" "$work/differ"
mkdir -p "$out/old" "$out/new"
cases=0
pictures=0
differing=0

# draw NAME MODEL ARGUMENTS...: both programs draw it; every picture they write must be the same bytes.
draw() {
  local name=$1 model=$2
  shift 2
  local extension=png
  case " $* " in *" svg "*) extension=svg ;; esac
  local args=()
  for arg in "$@"; do
    [ "$arg" = svg ] || args+=("$arg")
  done
  local target="$name.$extension"
  case " ${args[*]} " in *" --turntable "*) target="$name-%d.$extension" ;; esac
  local oldStatus=0 newStatus=0
  "$old" "$model" "${args[@]}" -o "$out/old/$target" >/dev/null 2>&1 || oldStatus=$?
  "$new" "$model" "${args[@]}" -o "$out/new/$target" >/dev/null 2>&1 || newStatus=$?
  cases=$((cases + 1))
  local same=1
  [ "$oldStatus" = "$newStatus" ] || same=0
  for picture in "$out/old/$name"*; do
    [ -e "$picture" ] || continue
    pictures=$((pictures + 1))
    cmp -s "$picture" "$out/new/$(basename "$picture")" || same=0
  done
  for picture in "$out/new/$name"*; do
    [ -e "$out/old/$(basename "$picture")" ] || same=0
  done
  if [ "$same" = 0 ]; then
    differing=$((differing + 1))
    echo "differs: $name: nprsnap $model ${args[*]} (exit status $oldStatus, now $newStatus)"
    mkdir -p "$work/differ"
    cp "$out/old/$name"* "$work/differ/" 2>/dev/null || true
    for picture in "$out/new/$name"*; do
      [ -e "$picture" ] && cp "$picture" "$work/differ/new-$(basename "$picture")"
    done
  fi
  rm -f "$out/old/$name"* "$out/new/$name"*
}

models=(data/*.poly tests/models/*.poly "$meshes/sphere.ply" "$meshes/bumpy.ply" "$meshes/cup.poly"
  tests/data/octahedron-cw.ply tests/data/tetrahedron-ccw-binary.stl tests/data/box-quads.obj)
for m in "${!models[@]}"; do
  model=${models[$m]}
  for v in "${!views[@]}"; do
    read -r yaw pitch distance <<<"${views[$v]}"
    view=(--yaw "$yaw" --pitch "$pitch" --distance "$distance")
    draw "m$m-v$v" "$model" "${view[@]}"
    # shellcheck disable=SC2206
    extra=(${options[$(((m * 7 + v * 3) % ${#options[@]}))]})
    draw "m$m-v$v-o" "$model" "${view[@]}" "${extra[@]}"
  done
done
# The largest mesh, a few views and options.
for v in 0 1 3 6; do
  read -r yaw pitch distance <<<"${views[$v]}"
  draw "big-v$v" "$meshes/bumpy-2m.ply" --yaw "$yaw" --pitch "$pitch" --distance "$distance"
done
draw big-hatching "$meshes/bumpy-2m.ply" --hatching --yaw 30 --pitch 20
draw big-samples "$meshes/bumpy-2m.ply" --samples 2 --outline 3 --background transparent
draw big-contour "$meshes/bumpy-2m.ply" --lines contour --yaw 60
# Turntables: each frame in the same GL context after the one before.
draw turn-sphere "$meshes/sphere.ply" --turntable 6 --pitch 25
draw turn-bumpy "$meshes/bumpy.ply" --turntable 6 --hatching --creases 20
draw turn-tpot data/tpot-unit.poly --turntable 5 --hatching --hatching-space object --samples 2
draw turn-cup "$meshes/cup.poly" --turntable 5 --pitch 50 --lines contour
draw turn-bunny-svg data/bunny-unit.poly --turntable 3 svg
# SVG documents: the tones' labels and the visible lines come from the fill pass.
draw svg-tpot data/tpot-unit.poly --yaw 30 --pitch 20 svg
draw svg-bumpy "$meshes/bumpy.ply" --hatching --creases 30 svg
draw svg-cup "$meshes/cup.poly" --pitch 60 --lines contour svg

echo "same-pictures: $cases cases, $pictures pictures, $differing differing (nprsnap of $revision against the working tree)"
[ "$differing" = 0 ]
