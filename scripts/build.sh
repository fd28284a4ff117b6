#!/usr/bin/env bash
# Configures and builds into the given folder: build.sh DIR [cmake options...]
set -euo pipefail
dir=$1
shift
launcher=()
# A compiler cache, where the machine has one, makes rebuilds of unchanged files free.
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$(dirname "$0")/.." -B "$dir" "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
