#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a warnings-as-errors build with g++,
# and a clang build with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, whose libFuzzer
# harnesses get a short run before its tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
stage() { echo "== $1 (at ${SECONDS} s)"; }
stage "g++ build, warnings as errors"
# The optimisation the viewer ships with, without debug information (a third of the compile time).
scripts/build.sh build-test -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
  "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" -DNPRVIEW_WERROR=ON -DCMAKE_CXX_COMPILER=g++
stage "the tests in the g++ build"
scripts/with-xvfb.sh ctest --test-dir build-test --output-on-failure -j"$jobs"

stage "clang build, AddressSanitizer + UndefinedBehaviorSanitizer, with the libFuzzer harnesses"
# The benchmarks are compiled once, by the g++ build; they run nothing here.
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DNPRVIEW_WERROR=ON -DNPRVIEW_SANITIZE=ON -DNPRVIEW_FUZZ=ON \
  -DNPRVIEW_BENCH=OFF -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang

stage "fuzzing the loaders, a short run"
NPRVIEW_FUZZ_BUILD=build-asan scripts/fuzz.sh 20 model_differential_fuzzer mesh_precheck_fuzzer bitmap_fuzzer \
  direct_read_fuzzer

stage "the tests in the clang build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  scripts/with-xvfb.sh ctest --test-dir build-asan --output-on-failure -j"$jobs"
stage "done"
