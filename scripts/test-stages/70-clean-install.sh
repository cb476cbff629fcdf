#!/usr/bin/env bash
# Stage: the Debian package, installed as a club volunteer installs it, on a Debian 12
# system that has none of the build's packages: a minimal root made with debootstrap,
# entered with chroot. Two ordinary users start the installed program under an X server
# of the stage's own (Xvfb); each first start asks for the name and makes the user's own
# database in ~/.local/share/Kelvory; a third, whose folder cannot be made, is told so and
# the program ends with status 1. The package is then purged and installed again,
# and the first user's member is still there. Last, a server build of the package
# registers FreeTDS as the "SQL Server" ODBC driver from its post-installation step.
#
# The packages are built by scripts/build-package.sh in <main build>-package. The
# minimal root is kept as a tarball in $KELVORY_CLEAN_ROOT_CACHE (default
# /var/cache/kelvory; made anew when older than 30 days), with the .deb files and
# package lists that apt downloads into it, so that a later run fetches only what changed.
#
# Needs root (chroot and mounts) and the network to Debian's archive. Without root or
# debootstrap the stage is skipped with its reason, except under CI, where it fails.
# Every wait is bounded; every mount is undone on the way out.
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
for tool in debootstrap chroot mount umount flock setpriv Xvfb xdotool sqlite3 lintian dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/install-deps.sh installs it)"
done
grab=$main/tests/e2e/kelvory_grab_window
[ -x "$grab" ] || grab=""

work=$(mktemp -d /tmp/kelvory-clean.XXXXXX)
chmod 755 "$work" # the users of the clean root are looked at from outside too
root=$work/root
mounts=()
xvfb_pid=""
pids=()
cleanup() {
  local status=$? pid i log
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  for pid in "${pids[@]}" $xvfb_pid; do wait "$pid" 2>/dev/null || true; done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
  mkdir -p "$artifacts"
  for log in "$work"/*.log; do [ ! -e "$log" ] || cp "$log" "$artifacts/clean-$(basename "$log")"; done
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

bind() { # bind SOURCE TARGET
  mkdir -p "$2"
  mount --bind "$1" "$2"
  mounts+=("$2")
}
# in_root COMMAND...: runs a command as root in the clean system, with a clean environment.
in_root() {
  timeout --kill-after=10 900 chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"
}
# poll SECONDS DESCRIPTION COMMAND...: runs COMMAND until it succeeds, at most SECONDS long.
poll() {
  local deadline=$((SECONDS + $1)) what=$2
  shift 2
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || fail "waited for: $what"
    sleep 0.2
  done
}
# expect WHAT ACTUAL EXPECTED
expect() {
  [ "$2" == "$3" ] || fail "$1: expected '$3', found '$2'"
}

# ---------------------------------------------------------------------------------------
step "the packages, from a Release build in $main-package"
packages=$work/packages
mkdir -p "$packages/embedded" "$packages/server"
"$here/scripts/build-package.sh" "$main-package" >"$work/package-embedded.log" 2>&1 ||
  { tail -n 40 "$work/package-embedded.log" >&2; fail "the package did not build (see above)"; }
cp "$main-package"/kelvory_*.deb "$packages/embedded/"
# A server that refuses at once: only the driver's registration is looked at here.
"$here/scripts/build-package.sh" "$main-package" -DKELVORY_SERVER=127.0.0.1,1 -DKELVORY_DATABASE=club \
  -DKELVORY_UID=clubweb -DKELVORY_PWD=secret123 >"$work/package-server.log" 2>&1 ||
  { tail -n 40 "$work/package-server.log" >&2; fail "the server package did not build (see above)"; }
cp "$main-package"/kelvory_*.deb "$packages/server/"
deb=$(basename "$(ls "$packages"/embedded/kelvory_*.deb)")
[[ $deb =~ ^kelvory_[0-9.]+_amd64\.deb$ ]] || fail "the package is named $deb"
grep -h '^W: ' "$work"/package-*.log | sort -u | sed "s/^/$me: lintian warning: /" || true

# ---------------------------------------------------------------------------------------
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
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mounts+=("$root/proc")
bind /dev "$root/dev"
bind "$cache/archives" "$root/var/cache/apt/archives"
bind "$cache/lists" "$root/var/lib/apt/lists"
mkdir -p /tmp/.X11-unix
chmod 1777 /tmp/.X11-unix
bind /tmp/.X11-unix "$root/tmp/.X11-unix"
cp "$packages/embedded/$deb" "$root/tmp/$deb"

installed() { in_root dpkg-query -W -f '${Package}\n' | sort; }
installed >"$work/before.txt"
grep -q . "$work/before.txt" || fail "no packages in the clean root"

step "apt-get install ./$deb"
in_root apt-get update -qq >"$work/apt-update.log" 2>&1 || { cat "$work/apt-update.log" >&2; fail "apt-get update failed"; }
in_root sh -c "cd /tmp && apt-get install -y --no-install-recommends ./$deb" >"$work/apt-install.log" 2>&1 ||
  { tail -n 30 "$work/apt-install.log" >&2; fail "the package did not install"; }
installed >"$work/after.txt"
added=$(comm -13 "$work/before.txt" "$work/after.txt")
echo "$me: the install added $(echo "$added" | wc -l) packages"
if dev=$(echo "$added" | grep -E -- '-dev$|^(cmake|ninja-build|g\+\+.*|clang.*|qt6-base-dev-tools)$'); then
  fail "the install brought build packages: $dev"
fi
for file in /usr/bin/kelvory /usr/share/applications/kelvory.desktop /usr/share/man/man1/kelvory.1.gz \
  /usr/share/icons/hicolor/scalable/apps/kelvory.svg /usr/share/doc/kelvory/copyright; do
  [ -f "$root$file" ] || fail "$file is not installed"
done
grep -qx 'Categories=Office;' "$root/usr/share/applications/kelvory.desktop" || fail "the menu entry is not under Office"
menu_exec=$(sed -n 's/^Exec=//p' "$root/usr/share/applications/kelvory.desktop")

# ---------------------------------------------------------------------------------------
step "X server"
mkdir -p "$artifacts"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display_ready() { [ -s "$work/display" ] && grep -q '^[0-9]' "$work/display"; }
poll 15 "Xvfb to name its display" display_ready
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY
answers() { xdotool getdisplaygeometry >/dev/null; }
poll 10 "the X server to answer" answers

readonly MAIN_TITLE='^Calvessa Senior Citizens Cluub Members$' APP_TITLE='^Kelvory$'
# Main window controls, in twips (Left Top Width Height), as in tests/e2e.
readonly -a NAME_BOX=(210 7650 2385 330) ADDRESS_BOX=(2580 7650 3255 330) CITY_BOX=(5880 7650 2295 330)
readonly -a PHONE_BOX=(8220 7650 1305 330) ADD_NEW=(240 8430 1395 525)
readonly -a EXIT=(150 120 885 765)

for user in alice bob carol; do
  in_root useradd --create-home --shell /bin/bash "$user"
done
uid_of() { in_root id -u "$1"; }

# start_as USER NAME: starts the menu entry's command as that user, as a desktop does,
# the user's own environment only; its pid is in $started.
start_as() {
  local uid
  uid=$(uid_of "$1")
  chroot --userspec="$uid:$uid" --groups="$uid" "$root" /usr/bin/env -i HOME="/home/$1" USER="$1" LOGNAME="$1" \
    PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY="$DISPLAY" "$menu_exec" \
    >"$work/kelvory-$1-$2.log" 2>&1 &
  started=$!
  pids+=("$started")
}
visible_window() { xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n 1; }
wait_window() { # PID TITLE SECONDS: the window's id, once it shows
  local deadline=$((SECONDS + $3)) id
  while true; do
    id=$(visible_window "$1" "$2")
    [ -z "$id" ] || { echo "$id"; return 0; }
    kill -0 "$1" 2>/dev/null || fail "kelvory (pid $1) ended while a window titled $2 was awaited"
    [ "$SECONDS" -lt "$deadline" ] || fail "no window titled $2 of pid $1 within $3s"
    sleep 0.2
  done
}
window_gone() { ! xdotool search --onlyvisible --name '.' 2>/dev/null | grep -qx "$1"; }
answer() { # WINDOW KEY
  xdotool windowfocus --sync "$1"
  xdotool key "$2"
  poll 10 "window $1 to close" window_gone "$1"
}
click() { # WINDOW LEFT TOP WIDTH HEIGHT (twips, 15 to the pixel at 96 dpi)
  xdotool mousemove --window "$1" $((($2 + $4 / 2) / 15)) $((($3 + $5 / 2) / 15)) click 1
}
type_into() { # WINDOW BOX TEXT
  local -n box=$2
  click "$1" "${box[@]}"
  xdotool key --clearmodifiers ctrl+a BackSpace
  xdotool type --delay 8 -- "$3"
}
process_gone() { ! kill -0 "$1" 2>/dev/null; }
close_main() { # PID WINDOW: EXIT, and the program ends with status 0
  click "$2" "${EXIT[@]}"
  poll 15 "EXIT to end the program" process_gone "$1"
  local status=0
  wait "$1" || status=$?
  expect "exit status after EXIT" "$status" 0
}
shot() { [ -z "$grab" ] || "$grab" "$1" "$artifacts/$2.png" 2>>"$work/grab.log" || true; }
# files_of USER: the user's data folder, seen from outside.
files_of() { echo "$root/home/$1/.local/share/Kelvory"; }
# sql_as USER QUERY: reads the user's database as that user, read-only.
sql_as() {
  local uid
  uid=$(uid_of "$1")
  setpriv --reuid="$uid" --regid="$uid" --clear-groups sqlite3 -readonly "$(files_of "$1")/Kelvory.db" "$2"
}

# first_start USER NAME: the name prompt, then the main window; leaves its id in $main.
first_start() {
  local prompt
  start_as "$1" first
  first=$started
  prompt=$(wait_window "$first" "$APP_TITLE" 60)
  [ ! -e "$(files_of "$1")/User.txt" ] || fail "User.txt of $1 exists before the name was typed"
  shot "$prompt" "clean-install-$1-prompt"
  xdotool windowfocus --sync "$prompt"
  xdotool type --delay 8 -- "$2"
  answer "$prompt" Return
  main=$(wait_window "$first" "$MAIN_TITLE" 60)
  shot "$main" "clean-install-$1-roster"
}

today=$(date +%F)
step "alice's first start"
first_start alice Alice
folder=$(files_of alice)
expect "alice's data folder: owner and mode" "$(stat -c '%u %a' "$folder")" "$(uid_of alice) 700"
printf '"Alice"\r\n' | cmp -s - "$folder/User.txt" || fail "alice's User.txt does not hold her name"
expect "alice's operators" "$(sql_as alice 'select member, status from memberstatus')" "Alice|1"
[ -f "$folder/Backups/Kelvory-$today.db" ] || fail "no backup of the day in alice's folder"

step "alice adds a member"
xdotool windowfocus --sync "$main"
type_into "$main" NAME_BOX "Abbott, Helen"
type_into "$main" ADDRESS_BOX "12 Main St"
type_into "$main" CITY_BOX "Calvessa, OR 97301"
type_into "$main" PHONE_BOX "503-555-0142"
click "$main" "${ADD_NEW[@]}"
added_box=$(wait_window "$first" "$APP_TITLE" 15)
answer "$added_box" Return # "Record Added"
member_stored() { [ "$(sql_as alice 'select count(*) from members')" == 1 ]; }
poll 10 "alice's member to be stored" member_stored
close_main "$first" "$main"

step "bob's first start: a database of his own"
first_start bob Bob
expect "bob's operators" "$(sql_as bob 'select member, status from memberstatus')" "Bob|1"
expect "bob's members" "$(sql_as bob 'select count(*) from members')" 0
bob_uid=$(uid_of bob)
if setpriv --reuid="$bob_uid" --regid="$bob_uid" --clear-groups cat "$folder/Kelvory.db" >/dev/null 2>&1; then
  fail "bob can read alice's database"
fi
close_main "$first" "$main"
expect "alice's members after bob's start" "$(sql_as alice 'select name, address from members')" "Abbott, Helen|12 Main St"

step "carol's data folder cannot be made: a message, and status 1"
carol_uid=$(uid_of carol)
in_root setpriv --reuid="$carol_uid" --regid="$carol_uid" --clear-groups \
  sh -c 'mkdir -p /home/carol/.local && : >/home/carol/.local/share' || fail "carol's home could not be prepared"
start_as carol refused
refused=$started
box=$(wait_window "$refused" "$APP_TITLE" 60)
shot "$box" clean-install-carol-refused
[ -z "$(visible_window "$refused" "$MAIN_TITLE")" ] || fail "carol's main window shows"
answer "$box" Return
poll 10 "the message to end the program" process_gone "$refused"
status=0
wait "$refused" || status=$?
expect "exit status after the folder's message" "$status" 1

# ---------------------------------------------------------------------------------------
step "apt-get purge kelvory, then install it again"
in_root apt-get purge -y kelvory >"$work/apt-purge.log" 2>&1 || { cat "$work/apt-purge.log" >&2; fail "purge failed"; }
[ ! -e "$root/usr/bin/kelvory" ] || fail "the program is still there after the purge"
[ -f "$folder/Kelvory.db" ] && [ -f "$folder/User.txt" ] || fail "the purge took alice's files"
in_root sh -c "cd /tmp && apt-get install -y --no-install-recommends ./$deb" >"$work/apt-reinstall.log" 2>&1 ||
  { tail -n 30 "$work/apt-reinstall.log" >&2; fail "the package did not install again"; }
start_as alice again
again=$started
main=$(wait_window "$again" "$MAIN_TITLE" 60) # no name prompt: User.txt is still there
shot "$main" clean-install-alice-after-reinstall
expect "alice's members after the reinstall" "$(sql_as alice 'select name, address from members')" \
  "Abbott, Helen|12 Main St"
close_main "$again" "$main"

# ---------------------------------------------------------------------------------------
step "the server build: its post-installation step registers FreeTDS as \"SQL Server\""
in_root apt-get purge -y kelvory >"$work/apt-purge-2.log" 2>&1 || { cat "$work/apt-purge-2.log" >&2; fail "purge failed"; }
cp "$packages/server/$deb" "$root/tmp/$deb"
in_root sh -c "cd /tmp && apt-get install -y --no-install-recommends ./$deb" >"$work/apt-install-server.log" 2>&1 ||
  { tail -n 30 "$work/apt-install-server.log" >&2; fail "the server package did not install"; }
driver=$(in_root odbcinst -q -d -n "SQL Server" | sed -n 's/^Driver *= *//p')
[[ $driver == */libtdsodbc.so ]] && [ -f "$root$driver" ] || fail "\"SQL Server\" is not FreeTDS's driver: '$driver'"
grep -q 'tds version = 7.4' "$root/etc/freetds/freetds.conf" || fail "freetds.conf does not pin tds version 7.4"
# The driver manager finds the driver by that name and FreeTDS itself answers.
said=$(in_root isql -v -k 'Driver={SQL Server};Server=127.0.0.1;Port=1;Database=club;Uid=u;Pwd=p' 2>&1 || true)
case $said in
*"Can't open lib"* | *"Data source name not found"* | *"not found, and no default driver"*)
  fail "the driver manager cannot use \"SQL Server\": $said" ;;
*"[FreeTDS]"*) ;;
*) fail "no answer from FreeTDS: $said" ;;
esac
[ -f "$folder/Kelvory.db" ] || fail "the package change took alice's files"

step "done in $((SECONDS - stage_start)) s"
