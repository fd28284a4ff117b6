#!/usr/bin/env bash
# Draws the README's pictures. docs/gallery/MODEL-tones.png and MODEL-hatching.png for the five models come
# from nprsnap (no display needed); docs/first-frame.png is a screenshot of the real viewer's first frame,
# taken under a private Xvfb.
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
# The same picture without and with antialiasing, for the README's section on pictures of your own meshes.
for samples in 1 4; do
  build/nprsnap data/bunny-unit.poly "${view[@]}" --samples $samples -o "docs/bunny-samples-$samples.png" >/dev/null
done
scripts/with-xvfb.sh build/tests/viewer_screenshot docs/first-frame.png
echo "Wrote docs/first-frame.png and $(ls docs/gallery/*.png | wc -l) pictures in docs/gallery/"
