#!/usr/bin/env bash
# Regenerates every file in data/, byte for byte: builds the tools into build/ and runs them from the
# repository root.
#   scripts/make-data.sh [OUTDIR]    writes into OUTDIR instead of data/
# With NPRVIEW_TOOLS=DIR set, the tools already built in DIR are used and nothing is built.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-data}
tools=${NPRVIEW_TOOLS:-}
if [ -z "$tools" ]; then
  cmake -S . -B build >/dev/null
  cmake --build build -j2 --target make_sphere make_icosahedron make_teapot make_penny mesh2poly make_hatching >/dev/null
  tools=build/tools
fi
mkdir -p "$out"

# Models, one for each of the viewer's keys 1 to 5. Slots 3 and 5 (teapot, bunny) are wound clockwise.
"$tools/make_sphere" "$out/sphere-unit.poly"
"$tools/make_icosahedron" "$out/icos-unit.poly"
"$tools/make_teapot" tools/data/teapot-patches.txt "$out/tpot-unit.poly"
"$tools/make_penny" "$out/penny3-unit.poly"
"$tools/mesh2poly" --unit --winding cw --turn 150 --decimals 6 tools/data/bunny.obj "$out/bunny-unit.poly"

# Hatching images, xhatch1.bmp (lightest) to xhatch4.bmp (densest), and their smaller levels xhatchN-SIZE.bmp.
"$tools/make_hatching" "$out"
