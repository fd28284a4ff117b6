#!/usr/bin/env bash
# Installs what is missing, builds, and runs the viewer from the repository root (where data/ is).
# Without a display (DISPLAY unset, or its X server not answering) it draws the start-up view into a PNG
# with nprsnap instead and says where.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# The programs and tools only, whatever an earlier configuration of build/ asked for.
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release -DNPRVIEW_WERROR=OFF -DNPRVIEW_TESTS=OFF -DNPRVIEW_BENCH=OFF >/dev/null
if [ -z "${DISPLAY:-}" ] || ! timeout 5 xdpyinfo >/dev/null 2>&1; then
  picture="$PWD/build/start-up.png"
  # Its standard output is the loaders' progress lines; a failure says its own line on standard error.
  build/nprsnap data/sphere-unit.poly -o "$picture" >/dev/null
  echo "No display to open the viewer's window on; drew its start-up view into $picture"
  echo "To see the window, run scripts/run.sh in a desktop session, or under a virtual X server:" \
    "xvfb-run -a -s '-screen 0 1024x768x24' scripts/run.sh"
  exit 0
fi
exec build/nprview "$@"
