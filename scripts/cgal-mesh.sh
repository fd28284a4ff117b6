#!/usr/bin/env bash
# Prints the path of one of the meshes that Debian's libcgal-demo ships (bunny00, fandisk, ...), for the
# measurements and the gallery pictures of lines on scans and CAD models:
#   scripts/cgal-mesh.sh NAME FOLDER
# CGAL_MESHES names a folder that already holds NAME.off; else the file is taken out of the package's
# data.tar.gz into FOLDER, the package installed first where it is missing.
set -euo pipefail
name=$1
folder=$2
if [ -n "${CGAL_MESHES:-}" ]; then
  echo "$CGAL_MESHES/$name.off"
  exit 0
fi
archive=/usr/share/doc/libcgal-demo/data.tar.gz
if [ ! -f "$archive" ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends libcgal-demo >&2
fi
mkdir -p "$folder"
tar -xzf "$archive" -C "$folder" --strip-components=2 "data/meshes/$name.off"
echo "$folder/$name.off"
