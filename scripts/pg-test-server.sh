#!/usr/bin/env bash
# Starts or stops the PostgreSQL server the tests use: a private cluster in a scratch
# folder, on 127.0.0.1 and the default port 5432 (the program's connection string names
# no port), with a role that logs in by password as the program does.
#   pg-test-server.sh start <folder>   prints "reused" when a test server already runs
#   pg-test-server.sh stop <folder>
set -euo pipefail
action=$1
dir=$(realpath -m "$2")
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/initdb" ] || { echo "PostgreSQL server binaries not found (install postgresql)" >&2; exit 1; }

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case $action in
start)
  if "$bin/pg_isready" -q -h 127.0.0.1 -p 5432 2>/dev/null; then
    # A server that already lets the test role in is a test server: use it as it is.
    if PGPASSWORD=kelvory99 "$bin/psql" -q -h 127.0.0.1 -U kelvory -d postgres -c "select 1" >/dev/null 2>&1; then
      echo reused
      exit 0
    fi
    echo "Port 5432 on 127.0.0.1 is taken by another PostgreSQL server; stop it first (pg_lsclusters)." >&2
    exit 1
  fi
  rm -rf "$dir"
  mkdir -p "$dir"
  [ "$(id -u)" -eq 0 ] && chown postgres:postgres "$dir"
  as_owner "$bin/initdb" -D "$dir/data" -U postgres --auth-local=trust --auth-host=scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
  as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -c port=5432 -c unix_socket_directories=$dir -c fsync=off" start >/dev/null
  as_owner "$bin/psql" -q -h "$dir" -U postgres -d postgres -v ON_ERROR_STOP=1 \
    -c "create role kelvory login createdb password 'kelvory99'" >/dev/null
  ;;
stop)
  [ -f "$dir/data/postmaster.pid" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true
  ;;
*)
  echo "usage: $0 start|stop <folder>" >&2; exit 2 ;;
esac
