# Sourced by scripts/run-tests.sh (bash, set -euo pipefail, $build set, on_exit defined).
#
# The PostgreSQL server the tests reach through ODBC: scripts/pg-test-server.sh starts a
# private cluster on 127.0.0.1:5432 (or reuses a test server that already answers there),
# linked from the build folder as pg-test-server, where its log is found. A server we
# started is stopped when the run ends; a reused one is left running.
#
# Exports the server and role the tests use, and KELVORY_TEST_PG_REQUIRED=1: under
# make test a PostgreSQL run is mandatory, so no server means a red run, not a skip.

# shellcheck disable=SC2154 # $build and $here come from run-tests.sh
kelvory_pg_link=$build/pg-test-server
if ! kelvory_pg=$("$here/scripts/pg-test-server.sh" start "$kelvory_pg_link"); then
  echo "10-postgres.sh: the PostgreSQL test server could not be started (see above); no tests were run" >&2
  exit 1
fi
if [ "$kelvory_pg" != reused ]; then
  on_exit "'$here/scripts/pg-test-server.sh' stop '$kelvory_pg_link'"
fi
unset kelvory_pg kelvory_pg_link
export KELVORY_TEST_PG_SERVER=127.0.0.1
export KELVORY_TEST_PG_UID=kelvory
export KELVORY_TEST_PG_PWD=kelvory99
export KELVORY_TEST_PG_REQUIRED=1
