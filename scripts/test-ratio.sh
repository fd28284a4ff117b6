#!/usr/bin/env bash
# Counts the non-blank lines of C++ (.cpp, .h) in tracked files: the test side (tests/, fuzz/ and the
# test-support library testsupport/) against everything else, and their ratio. Exits 1 above the
# project's limit of 0.45 test lines per line of the rest.
#   scripts/test-ratio.sh [LIMIT]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-0.45}
count() { git ls-files -z -- "$@" | xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true; }
suites=$(count 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
support=$(count 'testsupport/*.cpp' 'testsupport/*.h')
tests=$((suites + support))
rest=$(count '*.cpp' '*.h' ':!tests/' ':!fuzz/' ':!testsupport/')
ratio=$(awk -v t="$tests" -v r="$rest" 'BEGIN { printf "%.2f", t / r }')
echo "test C++ lines: $tests (tests/ and fuzz/ $suites, testsupport/ $support)"
echo "other C++ lines: $rest"
echo "ratio: $ratio (limit $limit)"
awk -v t="$tests" -v r="$rest" -v l="$limit" 'BEGIN { exit !(t <= l * r) }'
