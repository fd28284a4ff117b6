#!/usr/bin/env bash
# Fuzzes the loaders with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer (clang):
#   scripts/fuzz.sh [SECONDS] [HARNESS...]
# runs the harnesses (default: all but the slow mesh_import_fuzzer) side by side for SECONDS (default 60),
# seeded from the tests' files. The corpora grow in build-fuzz/corpus/, logs go to build-fuzz/logs/. A harness
# stops at its first crash, leak, sanitizer report or disagreement, whose input libFuzzer leaves in
# build-fuzz/artifacts/; the script then exits non-zero.
# With NPRVIEW_FUZZ_BUILD=DIR it uses that folder instead, already configured by the caller with
# -DNPRVIEW_FUZZ=ON and the sanitizers (scripts/test.sh's clang build).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=${NPRVIEW_FUZZ_BUILD:-build-fuzz}
if [ -z "${NPRVIEW_FUZZ_BUILD:-}" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNPRVIEW_FUZZ=ON -DNPRVIEW_SANITIZE=ON \
    -DNPRVIEW_TESTS=OFF -DNPRVIEW_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
fi

# harness, seed folders (read only; new inputs go to the harness's own corpus), extra libFuzzer flags
declare -A seeds=(
  [model_differential_fuzzer]="tests/poly data"
  [bitmap_fuzzer]="tests/data data"
  [mesh_precheck_fuzzer]="tests/data"
  [mesh_import_fuzzer]="tests/data"
  [direct_read_fuzzer]="tests/data"
)
declare -A flags=(
  [model_differential_fuzzer]="-dict=fuzz/poly.dict -max_len=4096"
  [bitmap_fuzzer]="-max_len=4096"
  [mesh_precheck_fuzzer]="-dict=fuzz/mesh.dict -max_len=4096"
  # assimp runs in a child under the import's own limits; a hang of the import itself is one past them.
  [mesh_import_fuzzer]="-dict=fuzz/mesh.dict -max_len=4096 -timeout=30 -malloc_limit_mb=1000000"
  [direct_read_fuzzer]="-dict=fuzz/mesh.dict -max_len=4096"
)
harnesses=("$@")
# The whole import (mesh_import_fuzzer) forks for every input, 10 to 20 runs a second: run it by name, for minutes.
[ ${#harnesses[@]} -gt 0 ] || harnesses=(model_differential_fuzzer bitmap_fuzzer mesh_precheck_fuzzer direct_read_fuzzer)

# Only the harnesses asked for and the libraries under them: the programs are built and tested elsewhere.
cmake --build "$build" -j"$(nproc)" --target "${harnesses[@]}" >/dev/null

mkdir -p "$build/logs" "$build/artifacts"
# The harnesses run side by side, each a single process, for SECONDS of wall-clock time.
declare -A pids
for harness in "${harnesses[@]}"; do
  corpus="$build/corpus/$harness"
  mkdir -p "$corpus"
  # shellcheck disable=SC2086
  "$build/fuzz/$harness" "$corpus" ${seeds[$harness]} ${flags[$harness]} -max_total_time="$seconds" \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$harness-" >"$build/logs/$harness.log" 2>&1 &
  pids[$harness]=$!
done
failed=0
for harness in "${harnesses[@]}"; do
  log="$build/logs/$harness.log"
  if ! wait "${pids[$harness]}"; then
    tail -n 40 "$log"
    echo "$harness: FAILED (log: $log)"
    failed=1
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$harness: $runs runs in $seconds s, corpus $(ls "$build/corpus/$harness" | wc -l) inputs, no crash"
done
exit $failed
