#!/usr/bin/env bash
# Draws the README's pictures. docs/gallery/MODEL-tones.png and MODEL-hatching.png for the five models, and
# MODEL-creases.png for two of them, come from nprsnap (no display needed); docs/first-frame.png is a
# screenshot of the real viewer's first frame, taken under a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
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
# Crease and border lines on the two models with hard edges: the coin's rim and star, the bunny's folds.
build/nprsnap data/penny3-unit.poly "${view[@]}" --creases 30 -o docs/gallery/penny3-creases.png >/dev/null
build/nprsnap data/bunny-unit.poly "${view[@]}" --creases 35 -o docs/gallery/bunny-creases.png >/dev/null
scripts/with-xvfb.sh build/tests/viewer_screenshot docs/first-frame.png
echo "Wrote docs/first-frame.png and $(ls docs/gallery/*.png | wc -l) pictures in docs/gallery/"
