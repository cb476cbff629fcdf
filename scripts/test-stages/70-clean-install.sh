#!/usr/bin/env bash
# Stage: the Debian packages' autopkgtest (debian/tests/) on a Debian 12 system that has
# none of the build's packages: a minimal root made with debootstrap and entered by
# autopkgtest's chroot back end. The packages are built by scripts/build-package.sh in
# <main build>-package (DEB_BUILD_OPTIONS default "parallel=2 nocheck": the main suite has
# run the tests already). The minimal root is kept as a tarball in $KELVORY_CLEAN_ROOT_CACHE
# (default /var/cache/kelvory; made anew when older than 30 days), with the .deb files and
# package lists apt downloads into it, so that a later run fetches only what changed.
#
# Needs root (chroot and mounts) and the network to Debian's archive. Without root,
# debootstrap or autopkgtest the stage is skipped with its reason, except under CI, where
# it fails. Every mount is undone on the way out.
#
# Usage: scripts/test-stages/70-clean-install.sh <main build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
main=$(realpath "${1:?usage: 70-clean-install.sh <main build folder>}")
cache=${KELVORY_CLEAN_ROOT_CACHE:-/var/cache/kelvory}
mirror=${KELVORY_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security=${KELVORY_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}
artifacts=$main/artifacts
me=70-clean-install.sh

stage_start=$SECONDS
step() { echo "$me: [$((SECONDS - stage_start))s] $*"; }
fail() {
  echo "$me: FAIL [$((SECONDS - stage_start))s]: $*" >&2
  exit 1
}
skip() {
  if [ -n "${CI:-}" ]; then fail "$* (CI must run this stage)"; fi
  echo "$me: SKIPPED: $*"
  exit 0
}

[ "$(id -u)" -eq 0 ] || skip "it needs root, for chroot and its mounts"
for tool in debootstrap autopkgtest flock dpkg-buildpackage lintian; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps.sh installs it)"
done

work=$(mktemp -d /tmp/kelvory-clean.XXXXXX)
root=$work/root
mounts=()
cleanup() {
  local status=$? i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
  mkdir -p "$artifacts"
  [ ! -d "$work/autopkgtest" ] || cp -r "$work/autopkgtest" "$artifacts/clean-install-autopkgtest"
  # A bind mount still in place would let rm reach the host's /dev or the cache.
  if grep -qF " $root" /proc/self/mountinfo; then
    echo "$me: mounts under $root are still in place; $work is left as it is" >&2
  else
    rm -rf --one-file-system "$work"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
bind() { # SOURCE TARGET
  mkdir -p "$2"
  mount --bind "$1" "$2"
  mounts+=("$2")
}

step "the packages, with dpkg-buildpackage in $main-package"
DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-parallel=2 nocheck} "$here/scripts/build-package.sh" "$main-package" \
  >"$work/build-package.log" 2>&1 || { tail -n 40 "$work/build-package.log" >&2; fail "the packages did not build"; }
source_tree=$(ls -d "$main-package"/kelvory-[0-9]*/)
debs=("$main-package"/kelvory_*.deb "$main-package"/kelvory-club_*.deb)

arch=$(dpkg --print-architecture)
tarball=$cache/bookworm-minbase-$arch.tar
mkdir -p "$root" "$cache/archives/partial" "$cache/lists/partial"
# In memory: dpkg's many syncs cost nothing there, and the way out is one unmount.
mount -t tmpfs -o size=3g,mode=755 kelvory-clean-root "$root"
mounts+=("$root")
# One run at a time uses the cache: apt refuses a second one in the same folders.
exec 9>"$cache/.lock"
flock -w 900 9 || fail "another run has held $cache for 15 minutes"
if [ -s "$tarball" ] && [ -z "$(find "$tarball" -mtime +30)" ]; then
  step "a clean Debian 12 root from $tarball"
  tar -C "$root" --numeric-owner -xpf "$tarball"
else
  step "a clean Debian 12 root: debootstrap --variant=minbase bookworm (kept in $tarball)"
  timeout --kill-after=10 900 debootstrap --variant=minbase bookworm "$root" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 30 "$work/debootstrap.log" >&2; fail "debootstrap failed"; }
  tar -C "$root" --numeric-owner -cf "$tarball.part" . && mv "$tarball.part" "$tarball"
fi
cat >"$root/etc/apt/sources.list" <<EOT
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOT
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mounts+=("$root/proc")
bind /dev "$root/dev"
bind "$cache/archives" "$root/var/cache/apt/archives"
bind "$cache/lists" "$root/var/lib/apt/lists"

# autopkgtest makes its own archive of the packages with apt-ftparchive, from apt-utils.
step "apt-get update; apt-get install apt-utils"
chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
  sh -c 'apt-get update -qq && apt-get install -y -qq apt-utils' >"$work/apt.log" 2>&1 ||
  { tail -n 30 "$work/apt.log" >&2; fail "apt in the clean root failed"; }
step "autopkgtest ${debs[*]##*/}"
mkdir -p "$artifacts"
timeout --kill-after=10 1800 autopkgtest --output-dir "$work/autopkgtest" "${debs[@]}" "$source_tree" -- chroot "$root" \
  >"$work/autopkgtest.log" 2>&1 || { tail -n 60 "$work/autopkgtest.log" >&2; fail "autopkgtest failed"; }
sed -n '/^clean-install \|^club-driver /p' "$work/autopkgtest/summary" | sed "s/^/$me: /"
step "done in $((SECONDS - stage_start)) s"
