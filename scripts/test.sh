#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a warnings-as-errors build with g++,
# and a clang build with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer; between the two, a
# short run of the libFuzzer harnesses.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
echo "== g++ build, warnings as errors"
scripts/build.sh build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNPRVIEW_WERROR=ON -DCMAKE_CXX_COMPILER=g++
scripts/with-xvfb.sh ctest --test-dir build-test --output-on-failure -j"$jobs"

echo "== fuzzing the loaders, a short run"
# The BMP decoder is a few dozen lines whose branches its harness covers within seconds.
scripts/fuzz.sh 20 model_differential_fuzzer
scripts/fuzz.sh 10 bitmap_fuzzer mesh_precheck_fuzzer

echo "== clang build, AddressSanitizer + UndefinedBehaviorSanitizer"
# The benchmarks are compiled once, by the g++ build; they run nothing here.
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DNPRVIEW_WERROR=ON -DNPRVIEW_SANITIZE=ON -DNPRVIEW_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  scripts/with-xvfb.sh ctest --test-dir build-asan --output-on-failure -j"$jobs"
