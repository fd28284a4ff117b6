#!/usr/bin/env bash
# The installation page's list of the Debian package's dependencies is the one the package gets: the GL drivers that
# packaging/CMakeLists.txt names, then the runtime libraries' packages that dpkg-shlibdeps reads from the
# programs, as CPack asks it to (versions left out).
#   package_depends_test.sh SOURCE_DIR PROGRAM...
set -euo pipefail
source=$1
shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/debian"
printf 'Source: nprview\n\nPackage: nprview\nArchitecture: any\n' > "$scratch/debian/control"
found=$(cd "$scratch" && dpkg-shlibdeps -O "$@" 2>/dev/null | sed -n 's/^shlibs:Depends=//p' | sed 's/ ([^)]*)//g')
drivers=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)")$/\1/p' "$source/packaging/CMakeLists.txt")
expected="$drivers, $found"
listed=$(tr '\n' ' ' < "$source/docs/install.md" | sed -n 's/.*loaded at run time: *`\([^`]*\)`.*/\1/p' | tr -s ' ')
if [ "$listed" != "$expected" ]; then
  printf 'docs/install.md lists the package dependencies as\n  %s\nbut the package has\n  %s\n' "$listed" "$expected"
  exit 1
fi
