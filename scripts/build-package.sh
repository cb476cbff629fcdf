#!/usr/bin/env bash
# Builds the Debian package kelvory_<version>_<arch>.deb from a Release build in the
# folder $1 (default: build-package) and checks it with lintian: an error fails the build.
# Further arguments go to CMake, for example the club's server:
#   scripts/build-package.sh build-package -DKELVORY_SERVER=sql.example.net -DKELVORY_DATABASE=club ...
# Each run starts from a fresh CMake cache, so a setting of an earlier run never slips
# into this one; what was compiled before is reused when it has not changed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-package}
shift || true
compiler=${CXX_COMPILER:-clang++}

for tool in dpkg-shlibdeps file lintian; do
  command -v "$tool" >/dev/null || { echo "build-package.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

# Debian's own hardening flags: read-only relocations, bound checks on known calls,
# stack protection. They map the current folder out of the debugging information, so they
# are read in the source folder: the same flags from wherever this runs, and nothing is
# rebuilt for a change of folder.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(cd "$here" && dpkg-buildflags --get CXXFLAGS) $(cd "$here" && dpkg-buildflags --get CPPFLAGS)"
LDFLAGS=$(cd "$here" && dpkg-buildflags --get LDFLAGS)
export CXXFLAGS LDFLAGS

mkdir -p "$build"
build=$(cd "$build" && pwd)
cmake --fresh -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$compiler" \
  -DCMAKE_INSTALL_PREFIX=/usr -DKELVORY_DATA_FOLDER=user -DKELVORY_BUILD_TESTS=OFF -DKELVORY_BUILD_BENCH=OFF \
  -DKELVORY_PCH=ON "$@" >"$build/package-configure.log" 2>&1 || { cat "$build/package-configure.log" >&2; exit 1; }
cmake --build "$build"
rm -f "$build"/kelvory_*.deb
(cd "$build" && cpack -G DEB >"$build/package-cpack.log" 2>&1) || { cat "$build/package-cpack.log" >&2; exit 1; }
deb=$(ls "$build"/kelvory_*.deb)

echo "build-package.sh: lintian $deb"
lintian --fail-on error --tag-display-limit 0 "$deb" || {
  echo "build-package.sh: lintian found errors in $deb" >&2
  exit 1
}
echo "build-package.sh: built $deb"
