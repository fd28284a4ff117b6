#!/usr/bin/env bash
# Installs what is missing, builds, and runs the viewer from the repository root (where data/ is).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=Release >/dev/null
exec build/nprview "$@"
