#!/usr/bin/env bash
# nprsnap beside f3d, a fast headless mesh viewer, on the same mesh files: whole processes, 768x768, under a
# private Xvfb, the two tools taking turns, best of three each (wall-clock, and the CPU time of the process
# tree, which a busy machine disturbs less). Not part of CI.
#   scripts/bench-peers.sh [ROUNDS]
# Installs f3d and assimp's command-line tool where they are missing, builds an optimised build in
# build-bench/ (or, with NPRVIEW_BENCH_BUILD=DIR, uses the build already in DIR), and writes the meshes into
# its peers/ once: the bunny (data/bunny-unit.poly as PLY), a latitude-longitude sphere of 638,400 faces and
# bumpy ones of 2,000,000 and 10,000,000 (tools/make_sphere_ply, binary PLY), and the 2,000,000 again as a
# binary STL (assimp export). Then a turntable frame of the sphere against f3d's whole run on it, and the peak
# memory of nprsnap's process tree on the bumpy sphere.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
scripts/setup.sh f3d time assimp-utils
build=${NPRVIEW_BENCH_BUILD:-}
if [ -z "$build" ]; then
  build=build-bench
  scripts/build.sh "$build" -DCMAKE_BUILD_TYPE=Release -DNPRVIEW_TESTS=OFF >/dev/null
fi
out=$build/peers
mkdir -p "$out"

# The bunny as an ASCII PLY: its positions, and its faces as the file gives them.
if [ ! -f "$out/bunny.ply" ]; then
  awk 'NR == 1 { v = $2 } NR == 2 { f = $2
         print "ply\nformat ascii 1.0\nelement vertex " v "\nproperty float x\nproperty float y\nproperty float z"
         print "element face " f "\nproperty list uchar int vertex_indices\nend_header" }
       $1 == "v" { print $2, $3, $4 }
       $1 == "f" { faces = faces "3 " ($2 - 1) " " ($3 - 1) " " ($4 - 1) "\n" }
       END { printf "%s", faces }' data/bunny-unit.poly >"$out/bunny.ply"
fi
[ -f "$out/sphere.ply" ] || "$build/tools/make_sphere_ply" 638400 "$out/sphere.ply"
[ -f "$out/bumpy.ply" ] || "$build/tools/make_sphere_ply" 2000000 "$out/bumpy.ply" 0.04
[ -f "$out/bumpy.stl" ] || assimp export "$out/bumpy.ply" "$out/bumpy.stl" -fstlb >/dev/null
[ -f "$out/bumpy-10m.ply" ] || "$build/tools/make_sphere_ply" 10000000 "$out/bumpy-10m.ply" 0.04

# The run's wall-clock and CPU seconds (user and system, the children's included), as two numbers.
seconds() {
  /usr/bin/time -f '%e %U %S' -o "$out/run-time.txt" "$@" >/dev/null 2>&1 ||
    { echo "bench-peers: failed: $*" >&2; exit 1; }
  awk '{ print $1, $2 + $3 }' "$out/run-time.txt"
}
best() { printf '%s\n' "$@" | sort -g | head -n 1; }

# compare MESH: prints its row and leaves f3d's best wall-clock time in $out/f3d-best.txt.
compare() {
  local mesh=$1 snapWall=() snapCpu=() peerWall=() peerCpu=() times
  for _ in $(seq "$rounds"); do
    read -r -a times <<<"$(seconds "$build/nprsnap" "$mesh" -o "$out/nprsnap.png")"
    snapWall+=("${times[0]}") snapCpu+=("${times[1]}")
    read -r -a times <<<"$(seconds f3d "$mesh" --output "$out/f3d.png" --resolution 768,768)"
    peerWall+=("${times[0]}") peerCpu+=("${times[1]}")
  done
  local s p sc pc
  s=$(best "${snapWall[@]}") p=$(best "${peerWall[@]}") sc=$(best "${snapCpu[@]}") pc=$(best "${peerCpu[@]}")
  echo "$p" >"$out/f3d-best.txt"
  printf '%-13s nprsnap %6.2f s (%s; CPU %.2f s)   f3d %6.2f s (%s; CPU %.2f s)   ratio %5.2f, CPU %5.2f\n' \
    "$(basename "$mesh")" "$s" "${snapWall[*]}" "$sc" "$p" "${peerWall[*]}" "$pc" "$(awk "BEGIN { print $s / $p }")" \
    "$(awk "BEGIN { print $sc / $pc }")"
}

run() {
  echo "Whole runs, 768x768, best of $rounds (each run's time in brackets); $(nproc) cores, load now $(cut -d' ' -f1 /proc/loadavg)"
  for mesh in bunny.ply sphere.ply bumpy.ply bumpy.stl bumpy-10m.ply; do
    compare "$out/$mesh"
    [ "$mesh" != sphere.ply ] || cp "$out/f3d-best.txt" "$out/f3d-sphere.txt"
  done
  # A turntable frame: 9 frames less 1, over 8, against f3d's whole run on the same mesh.
  local one=() nine=() times
  for _ in $(seq "$rounds"); do
    read -r -a times <<<"$(seconds "$build/nprsnap" "$out/sphere.ply" -o "$out/turn.png")"
    one+=("${times[0]}")
    read -r -a times <<<"$(seconds "$build/nprsnap" "$out/sphere.ply" --turntable 9 -o "$out/turn-%d.png")"
    nine+=("${times[0]}")
  done
  local o n frame
  o=$(best "${one[@]}") n=$(best "${nine[@]}")
  frame=$(awk "BEGIN { print ($n - $o) / 8 }")
  printf 'turntable frame of sphere.ply: %.3f s ((%.2f s for 9 frames - %.2f s for 1) / 8), %.2f of f3d'"'"'s whole run\n' \
    "$frame" "$n" "$o" "$(awk "BEGIN { print $frame / $(cat "$out/f3d-sphere.txt") }")"
  # GNU time's maximum resident set: the largest process of the tree, the import's child included.
  /usr/bin/time -f 'peak memory of nprsnap on bumpy.ply: %M KB' "$build/nprsnap" "$out/bumpy.ply" \
    -o "$out/nprsnap.png" >/dev/null 2>"$out/time.txt" || true
  tail -n 1 "$out/time.txt"
}

export -f seconds best compare run
export build out rounds
scripts/with-xvfb.sh bash -c run
