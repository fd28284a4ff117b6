#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: a warnings-as-errors build with g++,
# and a clang build with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer; between the two, a
# short run of each libFuzzer harness.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
echo "== g++ build, warnings as errors"
scripts/build.sh build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNPRVIEW_WERROR=ON -DCMAKE_CXX_COMPILER=g++
scripts/with-xvfb.sh ctest --test-dir build-test --output-on-failure -j"$jobs"

echo "== fuzzing the loaders, a short run of every harness"
scripts/fuzz.sh 20

echo "== clang build, AddressSanitizer + UndefinedBehaviorSanitizer"
scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug -DNPRVIEW_WERROR=ON -DNPRVIEW_SANITIZE=ON \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  scripts/with-xvfb.sh ctest --test-dir build-asan --output-on-failure -j"$jobs"
