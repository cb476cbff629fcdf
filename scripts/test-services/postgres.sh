# shellcheck shell=bash
# Sourced by fixture.sh, which gives each function the folder of one CTest run.
#
# The PostgreSQL server the tests reach through ODBC: a private cluster on 127.0.0.1 and a
# free port (scripts/pg-test-server.sh), linked from the run's folder as pg-test-server,
# where its log is found.
#
# Exports the server, its port (PGPORT, which libpq reads: the connection string names no
# port) and the test role, and KELVORY_TEST_PG_REQUIRED=1: with this server up a
# PostgreSQL run is mandatory, so a server that cannot be reached is a red run, not a skip.

# shellcheck disable=SC2154 # $here comes from fixture.sh
postgres_up() {
  local port
  port=$("$here/scripts/pg-test-server.sh" start "$1/pg-test-server") || return 1
  printf '%s\n' KELVORY_TEST_PG_SERVER=127.0.0.1 "PGPORT=$port" KELVORY_TEST_PG_UID=kelvory \
    KELVORY_TEST_PG_PWD=kelvory99 KELVORY_TEST_PG_REQUIRED=1 >"$1/postgres.env"
  echo "postgres.sh: PostgreSQL test server on 127.0.0.1:$port, its log in $1/pg-test-server"
}

postgres_down() {
  rm -f "$1/postgres.env"
  "$here/scripts/pg-test-server.sh" stop "$1/pg-test-server"
}

postgres_remove() {
  "$here/scripts/pg-test-server.sh" remove "$1/pg-test-server"
}
