#!/usr/bin/env bash
# Counts the non-blank lines of C++ (.cpp, .h) in tracked files: tests/ and fuzz/ against everything else,
# and their ratio. Exits 1 above the project's limit of 0.36 test lines per line of the rest. The shared
# test-support library (testsupport/) counts among the rest by that rule; the stricter figure with it on the
# test side is printed too.
#   scripts/test-ratio.sh [LIMIT]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-0.36}
count() { git ls-files -z -- "$@" | xargs -0 -r cat | grep -cv '^[[:space:]]*$' || true; }
suites=$(count 'tests/*.cpp' 'tests/*.h' 'fuzz/*.cpp' 'fuzz/*.h')
support=$(count 'testsupport/*.cpp' 'testsupport/*.h')
tests=$((suites + support))
rest=$(count '*.cpp' '*.h' ':!tests/' ':!fuzz/' ':!testsupport/')
ratio=$(awk -v t="$suites" -v r="$((rest + support))" 'BEGIN { printf "%.2f", t / r }')
strict=$(awk -v t="$tests" -v r="$rest" 'BEGIN { printf "%.2f", t / r }')
echo "tests/ and fuzz/: $suites C++ lines; everything else: $((rest + support)) (testsupport/ $support of them)"
echo "ratio: $ratio (limit $limit); with testsupport/ on the test side: $tests against $rest, $strict"
awk -v t="$suites" -v r="$((rest + support))" -v l="$limit" 'BEGIN { exit !(t <= l * r) }'
