#!/usr/bin/env bash
# Starts or stops a PostgreSQL server for the tests: a private cluster on 127.0.0.1 and a
# free port chosen at start, with a role that logs in by password as the program does.
#   pg-test-server.sh start <link>    prints the port
#   pg-test-server.sh stop <link>     stops the server, keeps its logs
#   pg-test-server.sh remove <link>   stops the server, removes its folder and <link>
# The program's connection string names no port; libpq takes it from PGPORT.
#
# The cluster lives in a scratch folder under /tmp, which the server's own user can reach
# wherever the clone is (a folder of mode 0700, root's home); <link> is made a link to it,
# so that its logs are found there. A start removes the cluster of a previous start
# through the same <link>.
#
# Whatever keeps the server from starting (no binaries, no free port, a folder or a step
# refused) ends the script at once with the reason and status 1.
# KELVORY_PG_PORT asks for one port instead of a free one.
set -euo pipefail
action=${1:-}
link=${2:?usage: $0 start|stop|remove <link>}
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
stop() {
  local dir
  dir=$(previous)
  if [ -n "$dir" ] && [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m "${1:-fast}" -w stop >/dev/null 2>&1 || true
  fi
}
taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

case $action in
start)
  old=$(previous)
  if [ -n "$old" ]; then
    stop immediate
    rm -rf "$old"
  fi
  rm -f "$link"
  dir=$(mktemp -d /tmp/kelvory-pg.XXXXXX) || fail "cannot make a scratch folder under /tmp"
  ln -s "$dir" "$link" || fail "cannot make the link $link"
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres:postgres "$dir" || fail "cannot give $dir to the postgres user"
  fi
  as_owner "$bin/initdb" -D "$dir/data" -U postgres --auth-local=trust --auth-host=scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 --no-sync >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2
    fail "initdb failed in $dir"
  }
  # A port free now may be taken before the server binds it: another port, then.
  for _ in 1 2 3 4 5; do
    port=${KELVORY_PG_PORT:-$((20000 + RANDOM % 30000))}
    if taken "$port"; then
      [ -z "${KELVORY_PG_PORT:-}" ] || fail "port $port on 127.0.0.1 is taken"
      continue
    fi
    rm -f "$dir/server.log"
    if as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$dir -c fsync=off" start \
      >/dev/null 2>&1 </dev/null; then
      as_owner "$bin/psql" -q -h "$dir" -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 \
        -c "create role kelvory login createdb password 'kelvory99'" >/dev/null || fail "cannot create the test role"
      echo "$port"
      exit 0
    fi
    if [ -n "${KELVORY_PG_PORT:-}" ] || ! grep -qs 'could not bind' "$dir/server.log"; then
      break
    fi
  done
  tail -n 20 "$dir/server.log" >&2 2>/dev/null || true
  fail "the server did not start; its log is $dir/server.log"
  ;;
stop)
  stop fast
  dir=$(previous)
  [ -z "$dir" ] || rm -rf "$dir/data"
  ;;
remove)
  stop immediate
  dir=$(previous)
  [ -z "$dir" ] || rm -rf "$dir"
  rm -f "$link"
  ;;
*)
  echo "usage: $0 start|stop|remove <link>" >&2
  exit 2
  ;;
esac
