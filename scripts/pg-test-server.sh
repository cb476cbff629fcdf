#!/usr/bin/env bash
# Starts or stops the PostgreSQL server the tests use: a private cluster on 127.0.0.1 and
# the default port 5432 (the program's connection string names no port), with a role
# that logs in by password as the program does.
#   pg-test-server.sh start <link>   prints "reused" when a test server already runs
#   pg-test-server.sh stop <link>
# The cluster lives in a scratch folder under /tmp, which the server's own user can reach
# wherever the clone is (a folder of mode 0700, root's home); <link>, usually in the build
# folder, is made a link to it, so that its logs are found there. A start removes the
# cluster of the previous start through <link>; a stop keeps only the logs.
#
# Whatever keeps the server from starting (no binaries, the port taken, a folder or a
# step refused) ends the script at once with the reason and status 1.
#
# KELVORY_PG_PORT chooses another port, to try this script beside a running test server;
# the tests themselves need 5432.
set -euo pipefail
action=${1:-}
link=${2:?usage: $0 start|stop <link>}
port=${KELVORY_PG_PORT:-5432}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)

fail() {
  echo "pg-test-server.sh: $*" >&2
  exit 1
}
[ -x "$bin/initdb" ] || fail "PostgreSQL server binaries not found under /usr/lib/postgresql/*/bin (install postgresql)"

# Run from /, as the postgres user may not enter the folder this script is started in.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then (cd / && runuser -u postgres -- "$@"); else "$@"; fi
}
# The folder of a previous start, if <link> is one of ours.
previous() {
  if [ -L "$link" ]; then
    readlink "$link" | grep -E '^/tmp/kelvory-pg\.[A-Za-z0-9]+$' || true
  fi
}

case $action in
start)
  if "$bin/pg_isready" -q -h 127.0.0.1 -p "$port" 2>/dev/null; then
    # A server that already lets the test role in is a test server: use it as it is.
    if PGPASSWORD=kelvory99 "$bin/psql" -q -h 127.0.0.1 -p "$port" -U kelvory -d postgres -c "select 1" \
      >/dev/null 2>&1; then
      echo reused
      exit 0
    fi
    fail "port $port on 127.0.0.1 is taken by another PostgreSQL server; stop it first (pg_lsclusters)"
  fi
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    fail "port $port on 127.0.0.1 is taken by another program"
  fi

  # What a previous start left: a scratch folder behind the link, or, from before the
  # link, a cluster in that folder itself.
  old=$(previous)
  if [ -z "$old" ] && [ -d "$link" ] && [ ! -L "$link" ]; then
    old=$link
  fi
  if [ -n "$old" ]; then
    if [ -f "$old/data/postmaster.pid" ]; then
      as_owner "$bin/pg_ctl" -D "$old/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$old"
  fi
  rm -f "$link"
  dir=$(mktemp -d /tmp/kelvory-pg.XXXXXX) || fail "cannot make a scratch folder under /tmp"
  ln -s "$dir" "$link" || fail "cannot make the link $link"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres:postgres "$dir" || fail "cannot give $dir to the postgres user"
  fi
  as_owner "$bin/initdb" -D "$dir/data" -U postgres --auth-local=trust --auth-host=scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2
    fail "initdb failed in $dir"
  }
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir -c fsync=off" start \
    >/dev/null 2>&1 || {
    tail -n 20 "$dir/server.log" >&2 2>/dev/null || true
    fail "the server did not start; its log is $dir/server.log"
  }
  as_owner "$bin/psql" -q -h "$dir" -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 \
    -c "create role kelvory login createdb password 'kelvory99'" >/dev/null || fail "cannot create the test role"
  ;;
stop)
  dir=$(previous)
  if [ -n "$dir" ] && [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true
  fi
  [ -z "$dir" ] || rm -rf "$dir/data"
  ;;
*)
  echo "usage: $0 start|stop <link>" >&2
  exit 2
  ;;
esac
