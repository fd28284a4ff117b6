#!/usr/bin/env bash
# Fails when a file over 1 MB outside data/ and docs/ is in the repository's index: a model or a picture
# written by mistake (such as a tool's output named after an option) must not be committed.
# large_files_test.sh SOURCE_DIR; exits 77 (skipped) outside a git checkout.
set -euo pipefail
cd "$1"
git rev-parse --git-dir >/dev/null 2>&1 || { echo "not a git checkout"; exit 77; }
limit=$((1024 * 1024))
large=$(git ls-files --stage | awk '{ sub(/^[0-9]+ /, ""); sub(/ [0-9]+\t/, " "); print }' |
  git cat-file --batch-check='%(objectsize) %(rest)' |
  awk -v limit=$limit '$1 > limit && $2 !~ /^"?(data|docs)\// { print }')
if [ -n "$large" ]; then
  echo "FAIL: files over 1 MB outside data/ and docs/ (bytes, path):"
  echo "$large"
  exit 1
fi
