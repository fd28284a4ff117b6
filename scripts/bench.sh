#!/usr/bin/env bash
# Builds an optimised build in build-bench/ and runs the benchmarks from the repository root:
#   scripts/bench.sh [Google Benchmark flags]
# Ten repetitions of each, interleaved at random with the others so that a busy spell of the machine does
# not fall on one alone; the summary at the end takes the best repetition of each.
# The large sphere (.poly and OBJ, about 67 MB) is written once into build-bench/large-sphere/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DNPRVIEW_TESTS=OFF >/dev/null
exec build-bench/bench/nprview_bench --benchmark_repetitions=10 --benchmark_report_aggregates_only=true \
  --benchmark_enable_random_interleaving=true --benchmark_color=false "$@" \
  build-bench/large-sphere
