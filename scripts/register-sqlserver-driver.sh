#!/usr/bin/env bash
# Makes a Linux workstation ready for Kelvory's club database on SQL Server: registers
# FreeTDS's ODBC driver under the driver name the program asks for, "SQL Server", and
# pins the FreeTDS settings the program relies on in the [global] section of
# freetds.conf. Run as root (it writes the system's odbcinst.ini and freetds.conf).
# Running it again changes nothing.
#
# ODBCSYSINI and FREETDSCONF, when set, name the folder of odbcinst.ini and the
# freetds.conf to write instead of the system's (the tests use this).
set -euo pipefail

name="SQL Server"
conf=${FREETDSCONF:-/etc/freetds/freetds.conf}

command -v odbcinst >/dev/null || { echo "odbcinst not found: install unixodbc" >&2; exit 1; }
driver=
for candidate in /usr/lib/*/odbc/libtdsodbc.so /usr/lib/odbc/libtdsodbc.so /usr/local/lib/libtdsodbc.so; do
  [ -f "$candidate" ] && { driver=$candidate; break; }
done
[ -n "$driver" ] || driver=$(find /usr/lib /usr/local/lib -name libtdsodbc.so 2>/dev/null | sort | head -n 1)
[ -n "$driver" ] || { echo "libtdsodbc.so not found: install tdsodbc" >&2; exit 1; }
registry=$(odbcinst -j | sed -n 's/^DRIVERS\.*: *//p')
writable() {
  if [ -e "$1" ]; then [ -w "$1" ]; else [ -w "$(dirname "$1")" ] || [ ! -e "$(dirname "$1")" ]; fi
}
for target in "$registry" "$conf"; do
  writable "$target" || { echo "$target cannot be written: run this as root" >&2; exit 1; }
done

# 1. The driver. odbcinst counts installs, so an existing entry for the same library is
#    left alone; an entry under this name for another library is replaced.
current=$(odbcinst -q -d -n "$name" 2>/dev/null | sed -n 's/^Driver *= *//p' || true)
if [ "$current" = "$driver" ]; then
  echo "ODBC driver \"$name\" already is FreeTDS ($driver) in $registry"
else
  if [ -n "$current" ]; then
    echo "ODBC driver \"$name\" was $current; replacing it with FreeTDS"
    for _ in $(seq 1 100); do
      odbcinst -q -d -n "$name" >/dev/null 2>&1 || break
      odbcinst -u -d -n "$name" >/dev/null
    done
  fi
  template=$(mktemp)
  trap 'rm -f "$template"' EXIT
  printf '[%s]\nDescription=FreeTDS for Microsoft SQL Server\nDriver=%s\n' "$name" "$driver" >"$template"
  odbcinst -i -d -f "$template" >/dev/null
  echo "ODBC driver \"$name\" registered as FreeTDS ($driver) in $registry"
fi

# 2. freetds.conf, [global]: a fixed protocol version (FreeTDS keeps to the 10-second
#    login time-out only with one; 7.4 is SQL Server 2012 and later) and UTF-8 between
#    FreeTDS and the program. Earlier values of the two settings in [global] are dropped.
mkdir -p "$(dirname "$conf")"
[ -e "$conf" ] || : >"$conf"
awk '
  function pins() { print "\ttds version = 7.4"; print "\tclient charset = UTF-8" }
  /^[[:space:]]*\[/ { global = ($0 ~ /^[[:space:]]*\[global\]/); seen = seen || global; print; if (global) pins(); next }
  global && /^[[:space:]]*(tds version|client charset)[[:space:]]*=/ { next }
  { print }
  END { if (!seen) { print "[global]"; pins() } }
' "$conf" >"$conf.new"
if cmp -s "$conf" "$conf.new"; then
  rm -f "$conf.new"
  echo "$conf already pins tds version 7.4 and client charset UTF-8"
else
  cat "$conf.new" >"$conf" # keeps the file's owner and mode
  rm -f "$conf.new"
  echo "$conf now pins tds version 7.4 and client charset UTF-8"
fi

cat <<'EOF'
Note: for the program's connection string (Driver={SQL Server};Server=...) FreeTDS reads
no freetds.conf; Kelvory itself tells FreeTDS the protocol version (7.4) and SQL
Server's port (1433) through TDSVER and TDSPORT, unless the workstation sets them. For a
server on another port, or a named instance, build Kelvory with the server as
"host,port" or "host\INSTANCE" (KELVORY_SERVER); then no port is set.
EOF
