#!/usr/bin/env bash
# Draws the README's pictures and those of docs/print.md. docs/gallery/MODEL-tones.png and MODEL-hatching.png for the five models, and
# MODEL-creases.png for two of them, the teapot as SVG beside its PNG, and the teapot hatched on its surface and turning in both hatching
# spaces, come from nprsnap (no display needed); docs/first-frame.png and docs/hatching.png are screenshots
# of the real viewer, taken under a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# ImageMagick puts the turntable's frames side by side; only this script needs it.
if ! command -v convert >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends imagemagick >/dev/null
fi
scripts/build.sh build >/dev/null

mkdir -p docs/gallery
# The start-up view, a little from above and to the side, so the models show their shape.
view=(--size 384 --yaw 30 --pitch 20)
for model in sphere icos tpot penny3 bunny; do
  # The teapot is the smallest in its unit box; the camera comes closer, as Up would bring it.
  distance=1
  [ "$model" = tpot ] && distance=0.8
  build/nprsnap "data/$model-unit.poly" "${view[@]}" --distance $distance -o "docs/gallery/$model-tones.png" >/dev/null
  build/nprsnap "data/$model-unit.poly" "${view[@]}" --distance $distance --hatching \
    -o "docs/gallery/$model-hatching.png" >/dev/null
done
# The same picture without and with antialiasing, for the README's section on pictures of your own meshes.
for samples in 1 4; do
  build/nprsnap data/bunny-unit.poly "${view[@]}" --samples $samples -o "docs/bunny-samples-$samples.png" >/dev/null
done
# Crease and border lines on the two models with hard edges: the coin's rim and star, the bunny's folds.
build/nprsnap data/penny3-unit.poly "${view[@]}" --creases 30 -o docs/gallery/penny3-creases.png >/dev/null
build/nprsnap data/bunny-unit.poly "${view[@]}" --creases 35 -o docs/gallery/bunny-creases.png >/dev/null

# The teapot hatched on its surface, and a few frames of a turntable in each space: the light rides with
# the camera, so the tones stay put on screen; the strokes stay put too in eye space, and turn with the
# teapot in object space.
teapot=(data/tpot-unit.poly --pitch 20 --hatching)
build/nprsnap "${teapot[@]}" --size 384 --distance 0.8 --yaw 30 --hatching-space object -o docs/gallery/tpot-hatching-surface.png >/dev/null
frames=$(mktemp -d)
trap 'rm -rf "$frames"' EXIT
for space in eye object; do
  for yaw in 0 20 40 60; do
    build/nprsnap "${teapot[@]}" --size 256 --distance 0.7 --yaw $yaw --hatching-space $space -o "$frames/$space-$yaw.png" >/dev/null
  done
  convert "$frames/$space"-{0,20,40,60}.png +append "docs/gallery/tpot-turntable-$space.png"
done

# The menu entry's icon: the teapot on a transparent background.
build/nprsnap data/tpot-unit.poly --size 256 --yaw 15 --pitch 15 --distance 0.75 --samples 4 --outline 4 \
  --background transparent -o packaging/nprview.png >/dev/null
# The two line modes on a mesh with folds, at the start-up view: the outline pass, and the visible contours
# taken from the mesh.
build/tools/make_bumpy_sphere "$frames/bumpy-sphere.poly"
for lines in outline contour; do
  build/nprsnap "$frames/bumpy-sphere.poly" --size 384 --lines $lines -o "docs/gallery/bumpy-sphere-$lines.png" >/dev/null
done
# Hidden lines (docs/lines.md): the bumpy sphere, and the bunny scan of Debian's libcgal-demo with and without
# them and with and without suggestive contours.
build/nprsnap "$frames/bumpy-sphere.poly" --size 384 --lines contour --hidden-lines \
  -o docs/gallery/bumpy-sphere-hidden.png >/dev/null
build/tools/mesh2poly --unit --winding ccw "$(scripts/cgal-mesh.sh bunny00 "$frames")" "$frames/bunny-scan.poly" >/dev/null
scan=("$frames/bunny-scan.poly" --size 384 --yaw 30 --pitch 20 --distance 0.8)
build/nprsnap "${scan[@]}" --lines contour -o docs/gallery/bunny-scan-contour.png >/dev/null
build/nprsnap "${scan[@]}" --lines contour --hidden-lines -o docs/gallery/bunny-scan-hidden.png >/dev/null
build/nprsnap "${scan[@]}" --lines suggestive -o docs/gallery/bunny-scan-suggestive.png >/dev/null
build/nprsnap "${scan[@]}" --lines suggestive --smoothing 0.02 -o docs/gallery/bunny-scan-suggestive-smoothed.png >/dev/null
# The README's technical drawing: the CAD part's visible and hidden lines on paper.
build/nprsnap tests/models/cad-part.poly --size 384 --yaw 30 --pitch 35 --distance 0.8 --palette paper --lines contour \
  --creases 30 --hidden-lines --samples 2 -o docs/gallery/cad-part-hidden.png >/dev/null
# The README's line drawing: the scan from its other side, black lines on white paper.
build/nprsnap "$frames/bunny-scan.poly" --size 384 --yaw 150 --pitch 20 --distance 0.85 --palette paper --lines suggestive \
  --smoothing 0.01 --outline 3 --samples 2 -o docs/gallery/bunny-scan-drawing.png >/dev/null

# The teapot as vectors beside its PNG with the same lines, and hatched for a pen.
vector=(data/tpot-unit.poly "${view[@]}" --distance 0.8 --lines contour)
build/nprsnap "${vector[@]}" -o docs/gallery/tpot-vector.svg >/dev/null
build/nprsnap "${vector[@]}" -o docs/gallery/tpot-vector.png >/dev/null
build/nprsnap "${vector[@]}" --hatching --layers tones,hatching,lines -o docs/gallery/tpot-vector-hatching.svg >/dev/null

# For print and sharing (docs/print.md): the teapot in the palettes for print, beside
# docs/gallery/tpot-tones.png; an A4 page for a pen, as librsvg draws it; the bunny turning, as an animated GIF.
mkdir -p docs/print
for palette in grey paper; do
  build/nprsnap "${vector[@]}" --lines outline --palette $palette -o "docs/print/tpot-$palette.png" >/dev/null
done
build/nprsnap "${vector[@]}" --hatching --layers hatching,lines --palette paper --page A4 --pen 0.3mm \
  -o docs/print/tpot-a4-pen.svg >/dev/null
rsvg-convert -b white -w 420 docs/print/tpot-a4-pen.svg -o docs/print/tpot-a4-pen.png
build/nprsnap data/bunny-unit.poly --size 256 --pitch 20 --samples 2 --turntable 36 -o docs/print/bunny-turntable.gif >/dev/null

scripts/with-xvfb.sh build/tests/viewer_screenshot docs/first-frame.png
scripts/with-xvfb.sh build/tests/viewer_screenshot --hatching docs/hatching.png

# docs/hatching.md: the teapot in flat and smooth tones, and what a pen plotter draws of the bunny and the
# teapot (rsvg-convert of --layers lines,hatching), hatching fixed to the view beside hatching along the surface.
mkdir -p docs/hatching
for shading in flat smooth; do
  build/nprsnap data/tpot-unit.poly "${view[@]}" --distance 0.8 --shading $shading -o "docs/hatching/tpot-$shading.png" >/dev/null
done
for model in bunny tpot; do
  for space in eye surface; do
    build/nprsnap "data/$model-unit.poly" --yaw 30 --pitch 20 --distance 0.8 --hatching --hatching-space $space \
      --shading "$([ $space = surface ] && echo smooth || echo flat)" --layers lines,hatching -o "$frames/plot.svg" >/dev/null
    rsvg-convert -b white "$frames/plot.svg" -o "$frames/plot.png"
    convert "$frames/plot.png" -trim -bordercolor white -border 8 +repage "docs/hatching/$model-plot-$space.png"
  done
done
# The README's first picture: the bunny in the viewer's tones and hatching, a scanned bunny's contours and
# suggestive contours on paper, and what a pen plotter draws of the SVG with hatching along the surface.
for panel in docs/gallery/bunny-tones.png docs/gallery/bunny-hatching.png docs/gallery/bunny-scan-drawing.png \
  docs/hatching/bunny-plot-surface.png; do
  convert "$panel" -resize 240x240 -background white -gravity center -extent 248x248 "$frames/panel-$(basename "$panel")"
done
convert "$frames"/panel-bunny-tones.png "$frames"/panel-bunny-hatching.png "$frames"/panel-bunny-scan-drawing.png \
  "$frames"/panel-bunny-plot-surface.png +append docs/hero.png
echo "Wrote docs/first-frame.png, docs/hatching.png, docs/hero.png, $(ls docs/gallery/*.{png,svg} | wc -l) pictures" \
  "in docs/gallery/, $(ls docs/print/* | wc -l) in docs/print/ and $(ls docs/hatching/* | wc -l) in docs/hatching/"
