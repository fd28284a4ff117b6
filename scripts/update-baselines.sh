#!/usr/bin/env bash
# Regenerates the picture tests' baselines (tests/baselines/*.png) after an intended change to what the
# renderer draws: builds, removes the old baselines and runs the picture tests in update mode, which
# writes each picture instead of comparing it. Review the result with `git diff --stat` and an image viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build >/dev/null
rm -f tests/baselines/*.png
NPRVIEW_UPDATE_BASELINES=1 build/tests/unit_tests --gtest_filter="Pictures.*" --gtest_brief=1
echo "Baselines written: $(ls tests/baselines/*.png | wc -l) pictures in tests/baselines/"
