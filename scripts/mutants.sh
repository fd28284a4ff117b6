#!/usr/bin/env bash
# Plants each fault listed in scripts/mutants.txt, one at a time, in a scratch copy of the tree, and runs the
# test suite against it: a fault the suite fails on is caught, one it passes survived.
#   scripts/mutants.sh [NAME...]      all faults, or only those named
# The working tree is never touched. The copy and its build live in $NPRVIEW_MUTANTS_DIR (default: a new
# folder under /tmp, removed at the end unless given; a given folder's copy is reused). The suite stops at its first failure, so a caught
# fault costs little more than its rebuild. Exits 1 when any fault survived, did not build or was not found.
# NPRVIEW_MUTANTS_CTEST adds arguments to ctest, for instance -E NAME to leave out a test.
# A tool for whoever changes the tests; not part of CI.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
list=scripts/mutants.txt

scratch=${NPRVIEW_MUTANTS_DIR:-}
if [ -z "$scratch" ]; then
  scratch=$(mktemp -d /tmp/nprview-mutants.XXXXXX)
  trap 'rm -rf "$scratch"' EXIT
fi
# Tracked and new files as they stand in the working tree, uncommitted changes included. A folder given
# that already holds a copy keeps it, so a second run needs no new build (and tests the same tree).
if [ ! -d "$scratch/src" ]; then
  mkdir -p "$scratch/src"
  git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf - | tar -xf - -C "$scratch/src"
fi
src=$scratch/src
build=$scratch/build
log=$scratch/logs
mkdir -p "$log"

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  # Paths relative to the copy, so that one run's copy finds what another run compiled.
  export CCACHE_BASEDIR=$src CCACHE_NOHASHDIR=1
fi
echo "Building the unchanged copy in $build"
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ -DNPRVIEW_BENCH=OFF \
  "${launcher[@]}" >"$log/configure.log"
cmake --build "$build" -j"$(nproc)" >"$log/build.log" 2>&1 || { tail -n 30 "$log/build.log"; exit 1; }

# Runs the suite from the copy; prints the failed tests' names, empty when it passed.
run_suite() {
  local out=$1
  # shellcheck disable=SC2086
  (cd "$src" && timeout 1800 scripts/with-xvfb.sh ctest --test-dir "$build" --stop-on-failure \
    -j"$(nproc)" --timeout 300 ${NPRVIEW_MUTANTS_CTEST:-}) </dev/null >"$out" 2>&1 && return 0
  sed -n 's/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' "$out" | sort -u | paste -sd ' ' -
  return 1
}

if [ -z "${NPRVIEW_MUTANTS_SKIP_CLEAN:-}" ]; then
  echo "Running the suite on the unchanged copy"
  if failed=$(run_suite "$log/clean.log"); then :; else
    echo "The suite fails without any fault: ${failed:-see $log/clean.log}"
    exit 1
  fi
fi

# Applies one fault: replaces the single occurrence of OLD by NEW. Exit 3 when OLD is not there exactly once.
apply() {
  perl -e '
    my ($path, $old, $new) = @ARGV;
    s/\\(n|t|\\)/$1 eq "n" ? "\n" : $1 eq "t" ? "\t" : "\\"/ge for $old, $new;
    open(my $in, "<", $path) or exit 3;
    my $text = do { local $/; <$in> };
    my $count = () = $text =~ /\Q$old\E/g;
    exit 3 if $count != 1;
    $text =~ s/\Q$old\E/$new/;
    open(my $out, ">", $path) or exit 3;
    print $out $text;
  ' "$@"
}

declare -a caught=() survived=() broken=() missing=()
while IFS=$'\t' read -r name file old new; do
  case "$name" in '' | '#'*) continue ;; esac
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qxF "$name"; then
    continue
  fi
  cp -p "$src/$file" "$scratch/original"
  # Put back even when the run is cut short.
  trap 'cp "$scratch/original" "$src/$file"' INT TERM
  if ! apply "$src/$file" "$old" "$new"; then
    echo "NOT FOUND  $name ($file)"
    missing+=("$name")
    continue
  fi
  if ! cmake --build "$build" -j"$(nproc)" </dev/null >"$log/$name.build.log" 2>&1; then
    echo "NO BUILD   $name (log: $log/$name.build.log)"
    broken+=("$name")
  elif failed=$(run_suite "$log/$name.log"); then
    echo "SURVIVED   $name"
    survived+=("$name")
  else
    echo "caught     $name by ${failed:-a failure, see $log/$name.log}"
    caught+=("$name")
  fi
  # Restored with a new time stamp, so the next build compiles it again.
  cp "$scratch/original" "$src/$file"
  touch "$src/$file"
  trap - INT TERM
done <"$root/$list"

echo "caught ${#caught[@]}, survived ${#survived[@]}, did not build ${#broken[@]}, not found ${#missing[@]}"
[ ${#survived[@]} -gt 0 ] && echo "survived: ${survived[*]}"
[ ${#broken[@]} -eq 0 ] && [ ${#missing[@]} -eq 0 ] && [ ${#survived[@]} -eq 0 ]
