#!/usr/bin/env bash
# nprsnap beside f3d, a fast headless mesh viewer, on the same binary PLY files: whole processes, 768x768,
# under a private Xvfb, the two tools taking turns, best of three each. Not part of CI.
#   scripts/bench-peers.sh [ROUNDS]
# Installs f3d where it is missing, builds an optimised build in build-bench/ (or, with
# NPRVIEW_BENCH_BUILD=DIR, uses the build already in DIR), and writes the meshes into its peers/ once: the
# bunny (data/bunny-unit.poly as PLY), a latitude-longitude sphere of 638,400 faces and a bumpy one of
# 2,000,000 (tools/make_sphere_ply). Then a turntable frame of the sphere, and the
# peak memory of nprsnap's process tree on the bumpy sphere.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
scripts/setup.sh f3d time
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

# The run's time in seconds, as a number.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "bench-peers: failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}
best() { printf '%s\n' "$@" | sort -g | head -n 1; }

compare() {
  local mesh=$1 snap=() peer=()
  for _ in $(seq "$rounds"); do
    snap+=("$(seconds "$build/nprsnap" "$mesh" -o "$out/nprsnap.png")")
    peer+=("$(seconds f3d "$mesh" --output "$out/f3d.png" --resolution 768,768)")
  done
  local s p
  s=$(best "${snap[@]}")
  p=$(best "${peer[@]}")
  printf '%-12s nprsnap %6.2f s (%s)   f3d %6.2f s (%s)   ratio %5.2f\n' "$(basename "$mesh")" "$s" \
    "${snap[*]}" "$p" "${peer[*]}" "$(awk "BEGIN { print $s / $p }")"
}

run() {
  echo "Whole runs, 768x768, best of $rounds (each run's time in brackets); $(nproc) cores, load now $(cut -d' ' -f1 /proc/loadavg)"
  for mesh in bunny sphere bumpy; do
    compare "$out/$mesh.ply"
  done
  # A turntable frame: 9 frames less 1, over 8.
  local one nine
  one=$(best "$(seconds "$build/nprsnap" "$out/sphere.ply" -o "$out/turn.png")" \
    "$(seconds "$build/nprsnap" "$out/sphere.ply" -o "$out/turn.png")")
  nine=$(best "$(seconds "$build/nprsnap" "$out/sphere.ply" --turntable 9 -o "$out/turn-%d.png")" \
    "$(seconds "$build/nprsnap" "$out/sphere.ply" --turntable 9 -o "$out/turn-%d.png")")
  printf 'turntable frame of sphere.ply: %.3f s ((%.2f s for 9 frames - %.2f s for 1) / 8)\n' \
    "$(awk "BEGIN { print ($nine - $one) / 8 }")" "$nine" "$one"
  # GNU time's maximum resident set: the largest process of the tree, the import's child included.
  /usr/bin/time -f 'peak memory of nprsnap on bumpy.ply: %M KB' "$build/nprsnap" "$out/bumpy.ply" \
    -o "$out/nprsnap.png" >/dev/null 2>"$out/time.txt" || true
  tail -n 1 "$out/time.txt"
}

export -f seconds best compare run
export build out rounds
scripts/with-xvfb.sh bash -c run
