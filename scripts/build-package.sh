#!/usr/bin/env bash
# Builds the Debian packages with dpkg-buildpackage from debian/, in a copy of the tree as
# committed plus the changes not yet committed (untracked files stay out), in the folder $1
# (default: build-package), and checks source and binaries with lintian: any tag fails it.
#   KELVORY_CLUB_SETTINGS  the club's server values for kelvory-club (debian/club-placeholder.cmake)
#   KELVORY_MAINTAINER     "Name <address>" for the Maintainer field instead of the placeholder
#   DEB_BUILD_OPTIONS      as dpkg-buildpackage reads it (default parallel=2; nocheck skips the tests)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/build-package}

for tool in dpkg-buildpackage dh lintian git; do
  command -v "$tool" >/dev/null || { echo "build-package.sh: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
version=$(cd "$here" && dpkg-parsechangelog -S Version)
mkdir -p "$out"
out=$(cd "$out" && pwd)
tree=$out/kelvory-$version
rm -rf "$tree" "$out"/kelvory*_"$version"[._]*
mkdir -p "$tree"
snapshot=$(git -C "$here" stash create)
git -C "$here" archive "${snapshot:-HEAD}" | tar -x -C "$tree"

if [ -n "${KELVORY_MAINTAINER:-}" ]; then
  # The changelog's signer must be the maintainer, or lintian takes the upload for someone else's.
  sed -i "s|^Maintainer: .*|Maintainer: $KELVORY_MAINTAINER|" "$tree/debian/control"
  sed -i "s|^ -- .*>  | -- $KELVORY_MAINTAINER  |" "$tree/debian/changelog"
fi

export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-parallel=2}
(cd "$tree" && nice -n 10 dpkg-buildpackage -us -uc) >"$out/dpkg-buildpackage.log" 2>&1 ||
  { tail -n 60 "$out/dpkg-buildpackage.log" >&2; echo "build-package.sh: dpkg-buildpackage failed ($out/dpkg-buildpackage.log)" >&2; exit 1; }
changes=$(ls "$out"/kelvory_"$version"_*.changes)

echo "build-package.sh: lintian $changes"
lintian -I -E --pedantic --fail-on error,warning,info,pedantic,experimental --tag-display-limit 0 "$changes" || {
  echo "build-package.sh: lintian has something to say about $changes" >&2
  exit 1
}
ls "$out"/*_"$version"_*.deb | sed 's/^/build-package.sh: built /'
