#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Kelvory need,
# when any of them is missing. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 libqt6sql6-sqlite libqt6sql6-odbc
  unixodbc unixodbc-dev
  # Times New Roman and MS Sans Serif resolve to their metric-compatible Liberation faces
  fonts-liberation
  # ODBC drivers: FreeTDS for SQL Server, psqlODBC for the test server
  tdsodbc odbc-postgresql
  # tests: a real PostgreSQL server, a real X server and print queue, PDF text, sanitizer runtime
  postgresql postgresql-client
  xvfb xdotool x11-utils poppler-utils
  cups cups-client cups-bsd printer-driver-cups-pdf
  sqlite3 clang libclang-rt-14-dev
  # the end-to-end session's screen-reader check: an AT-SPI bus and its Python client
  at-spi2-core dbus-daemon python3-pyatspi
  # llvm-symbolizer, so that sanitizer and fuzzer reports name functions, files and lines
  llvm
  # the SQLite C API: the daily backup of the embedded database, and the benchmarks'
  # bare-driver baseline; valgrind for the profiles that explain a figure
  libsqlite3-dev valgrind
  # the member import: quoted fields (libcsv) and a file's code page (uchardet)
  libcsv-dev libcsv3 libuchardet-dev libuchardet0
  # and workbooks: .xlsx and .ods unzipped with libzip, .xls read with libfreexl
  libzip-dev libzip4 libfreexl-dev libfreexl1
  # the Debian packages (make package: debhelper, the icons' bitmaps, the AppStream check)
  # and their autopkgtest on a clean Debian 12 root
  dpkg-dev debhelper librsvg2-bin appstream file lintian debootstrap autopkgtest
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# A package's own service start (cups, postgresql) may fail without an init system; the
# tests start their own servers, so that is no reason to stop.
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" || $sudo apt-get install -y -qq -f
