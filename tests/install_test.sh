#!/usr/bin/env bash
# The installed programs as a user meets them: installed from the build tree into a scratch root under a
# prefix of its own, run from an empty folder, the viewer started as the menu starts it, and the thumbnailer's
# command line run as a file manager runs it. install_test.sh BUILD_DIR SOURCE_DIR (under an X server).
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
# Inside the build folder, as an install with --prefix build/... would be: it must still act as installed.
scratch=$(mktemp -d "$build/install-test-XXXXXX")
# Outside it, for a copy of a program of the build tree.
elsewhere=$(mktemp -d)
trap 'rm -rf "$scratch" "$elsewhere"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DESTDIR=$scratch/root cmake --install "$build" --prefix /opt/nprview >/dev/null
prefix=$scratch/root/opt/nprview
data=$prefix/share/nprview/data
[ "$(ls "$prefix/bin")" = "$(printf 'mesh2poly\nnprsnap\nnprview')" ] || fail "bin/ holds $(ls "$prefix/bin")"
for file in share/man/man1/nprsnap.1.gz share/man/man1/mesh2poly.1.gz share/icons/hicolor/256x256/apps/nprview.png \
  share/thumbnailers/nprview.thumbnailer share/mime/packages/nprview.xml share/nprview/data/bunny-unit.poly \
  share/nprview/data/xhatch4-32.bmp; do
  [ -s "$prefix/$file" ] || fail "$file is not installed"
done
desktop-file-validate "$prefix/share/applications/nprview.desktop"
for program in nprsnap mesh2poly; do
  [[ $("$prefix/bin/$program" --version) =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "$program --version"
done

# From an empty folder the installed programs find their data and draw what the build tree draws from the
# repository root.
empty=$scratch/empty
mkdir "$empty"
cd "$empty"
"$prefix/bin/nprsnap" "$data/tpot-unit.poly" --hatching --yaw 30 --size 96 -o installed.png >/dev/null
(cd "$source" && "$build/nprsnap" data/tpot-unit.poly --hatching --yaw 30 --size 96 -o "$scratch/built.png") >/dev/null
cmp -s installed.png "$scratch/built.png" || fail "the installed nprsnap draws another picture"
# The build tree's nprsnap finds the source tree's data from anywhere; the installed one never looks there,
# even for a file its own data folder lacks.
"$build/nprsnap" "$data/tpot-unit.poly" --hatching --yaw 30 --size 96 -o built-here.png >/dev/null
cmp -s built-here.png "$scratch/built.png" || fail "the build tree's nprsnap does not find the source tree's data"
mv "$data/xhatch3.bmp" "$scratch/"
status=0
"$prefix/bin/nprsnap" "$data/sphere-unit.poly" --hatching -o refused.png >/dev/null 2>"$scratch/err" || status=$?
grep -q "no hatching: data/xhatch3.bmp did not load" "$scratch/err" && [ $status = 1 ] ||
  fail "the installed nprsnap looked beyond its own data (status $status: $(cat "$scratch/err"))"
mv "$scratch/xhatch3.bmp" "$data/"
# Nor does a copy of the build tree's program put outside the build folder.
cp "$build/nprsnap" "$elsewhere/nprsnap"
status=0
"$elsewhere/nprsnap" "$data/sphere-unit.poly" --hatching -o refused.png >/dev/null 2>"$scratch/err" || status=$?
grep -q "no hatching: data/xhatch1.bmp" "$scratch/err" && [ $status = 1 ] ||
  fail "a copy of the build's nprsnap looked in the source tree (status $status: $(cat "$scratch/err"))"
"$prefix/bin/mesh2poly" --unit "$source/tests/data/cube-ccw.off" cube.poly
"$build/tools/mesh2poly" --unit "$source/tests/data/cube-ccw.off" "$scratch/cube.poly"
cmp -s cube.poly "$scratch/cube.poly" || fail "the installed mesh2poly writes another model"

# The working folder's data/ comes first, image by image, as it always did.
mkdir data
: >data/xhatch2.bmp
status=0
"$prefix/bin/nprsnap" "$data/sphere-unit.poly" --hatching -o refused.png >/dev/null 2>"$scratch/err" || status=$?
grep -q "no hatching: data/xhatch2.bmp did not load" "$scratch/err" && [ $status = 1 ] ||
  fail "the working folder's data/xhatch2.bmp was not read first (status $status: $(cat "$scratch/err"))"
# Only a regular file there: a FIFO or a link to a device is passed over for the installed image.
rm data/xhatch2.bmp
mkfifo data/xhatch2.bmp
ln -s /dev/zero data/xhatch3.bmp
timeout 60 "$prefix/bin/nprsnap" "$data/tpot-unit.poly" --hatching --yaw 30 --size 96 -o fifo.png >/dev/null ||
  fail "a FIFO or a device in data/ was not passed over for the installed image"
cmp -s fifo.png "$scratch/built.png" || fail "a FIFO in data/ changed the picture"
rm -r data

# The viewer from the menu: the sphere and the images from the installed data, then the bunny on key 5
# (a model that does not load ends it with status 1), then Escape.
# The window is found by the viewer's own process id: a window of an earlier test's viewer may still be on
# the shared screen while the server tears it down.
"$prefix/bin/nprview" >"$scratch/out" &
viewer=$!
trap 'kill $viewer 2>/dev/null || true; rm -rf "$scratch" "$elsewhere"' EXIT
window=$(timeout 30 xdotool search --sync --onlyvisible --pid $viewer --name '^NPR Rendering$' | head -n 1)
[ -n "$window" ] || fail "the viewer's window did not show"
xdotool key --window "$window" 5
# The viewer ends on Escape's press, so its window is gone before a release could be sent.
xdotool keydown --window "$window" Escape
status=0
timeout 60 tail --pid=$viewer -f /dev/null || fail "the viewer did not end on Escape"
wait $viewer || status=$?
expected="Loading Models..."
for i in 1 2 3 4; do
  expected+=$'\n'"Width of $data/xhatch$i.bmp: 512"$'\n'"Height of $data/xhatch$i.bmp: 512"
done
expected+=$'\n'"Loading model. Please wait..."
[ $status = 0 ] && [ "$(cat "$scratch/out")" = "$expected" ] || fail "the viewer ended $status: $(cat "$scratch/out")"

# The thumbnailer: its Exec line with the size, the input and the output put in, on every format it
# names, gives a PNG of that size with alpha; a file made to mislead the importer fails at once.
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/thumbnailers/nprview.thumbnailer")
thumbnail() {
  local line=${exec_line//%s/$1}
  line=${line//%i/$2}
  PATH=$prefix/bin:$PATH timeout 60 bash -c "${line//%o/$3}" >/dev/null 2>&1
}
for mesh in tetrahedron-ccw-binary.stl tetrahedron-ccw.obj octahedron-cw.ply cube-ccw.off tetrahedron-ccw.gltf; do
  # GNOME's thumbnail factory names the output as g_file_open_tmp made it, empty, with a random ending.
  output=.gnome_desktop_thumbnail.Xa3Bq9
  (umask 077 && : > $output)
  thumbnail 128 "$source/tests/data/$mesh" $output || fail "no thumbnail of $mesh"
  # The PNG header: width and height of 128, 8 bits, colour type 6 (RGBA).
  [ "$(od -An -tx1 -j16 -N10 $output | tr -d ' \n')" = 00000080000000800806 ] || fail "$mesh's thumbnail"
done
status=0
thumbnail 128 "$source/tests/data/truncated.ply" truncated.png || status=$?
[ $status = 1 ] && [ ! -e truncated.png ] || fail "a truncated PLY gave status $status"
